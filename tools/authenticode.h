// What an Authenticode signature says, and whether it holds (authenticode.cpp).
#pragma once

#include <vector>

// Prints SIGNATURE's facts, one a line: digest-algorithm NAME, digest-signed HEX (what the
// signature vouches the file's digest is), signature holds|broken, signer SUBJECT (RFC 2253),
// signer-sha256 HEX (the certificate's fingerprint), signed-at SECONDS|none, timestamp SECONDS
// holds|broken, or timestamp none|unreadable; unsigned-attributes timestamp-only|others. False when
// SIGNATURE is no Authenticode SignedData.
bool PrintAuthenticode(const std::vector<unsigned char>& signature);
