#include "sha256.h"

#include <openssl/evp.h>

#include <cstdio>
#include <stdexcept>

namespace medium {

Sha256::Sha256() : context_(EVP_MD_CTX_new())
{
    if (!context_ || EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("OpenSSL offers no SHA-256");
}

Sha256::~Sha256()
{
    EVP_MD_CTX_free(context_);
}

void Sha256::Add(const void* bytes, std::size_t count)
{
    EVP_DigestUpdate(context_, bytes, count);
}

std::string HexOf(const unsigned char* bytes, std::size_t count)
{
    std::string hex;
    for (std::size_t i = 0; i < count; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        hex += pair;
    }
    return hex;
}

std::string Sha256::Hex()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_, digest, &length);
    return HexOf(digest, length);
}

}  // namespace medium
