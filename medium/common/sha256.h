// SHA-256 over a stream of bytes, by OpenSSL (which uses the processor's SHA instructions).
#pragma once

#include <cstddef>
#include <string>

struct evp_md_ctx_st;

namespace medium {

// BYTES in lower-case hex, as sha256sum writes a digest.
std::string HexOf(const unsigned char* bytes, std::size_t count);

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void Add(const void* bytes, std::size_t count);
    // The digest in lower-case hex, as sha256sum writes it; the object is spent.
    std::string Hex();

private:
    evp_md_ctx_st* context_;
};

}  // namespace medium
