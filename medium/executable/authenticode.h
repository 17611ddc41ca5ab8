// What an Authenticode signature says, and whether it holds (authenticode.cpp).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace executable {

struct AuthenticodeFacts {
    std::string digestAlgorithm;  // OpenSSL's short name: SHA256, SHA1, ...
    std::string digestSigned;     // what the signature vouches the file's digest is, in hex
    bool holds = false;           // the signer's signature over its attributes, with its own certificate
    std::string signer;           // the signer's subject (RFC 2253), when its certificate is there
    std::string signerSha256;     // that certificate's fingerprint
    std::optional<long long> signedAt;
    enum class Stamp { None, Unreadable, Read } timestamp = Stamp::None;
    std::optional<long long> stampedAt;
    bool stampHolds = false;      // the timestamp's own signature, over this signature's value
    bool othersUnsigned = false;  // unsigned attributes other than the timestamp
    // What neither signature covers and signing never writes: "timestamps N", "timestamp-values N",
    // "certificate signature|timestamp SUBJECT" for one on neither the signer's chain nor the
    // timestamp authority's, "revocation-lists N".
    std::vector<std::string> extras;
};

// SIGNATURE's facts, read with OpenSSL from its own structure; nothing when it is no Authenticode
// SignedData.
std::optional<AuthenticodeFacts> ReadAuthenticode(const std::vector<unsigned char>& signature);

// One fact a line: digest-algorithm NAME, digest-signed HEX, signature holds|broken, signer
// SUBJECT, signer-sha256 HEX, signed-at SECONDS|none, timestamp SECONDS holds|broken or timestamp
// none|unreadable, unsigned-attributes timestamp-only|others, and "unsigned-extra WHAT" for each extra.
void PrintAuthenticode(const AuthenticodeFacts& facts);

}  // namespace executable
