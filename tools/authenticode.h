// What an Authenticode signature says, and whether it holds (authenticode.cpp).
#pragma once

#include <vector>

// Prints SIGNATURE's facts, one a line: digest-algorithm NAME, digest-signed HEX (what the
// signature vouches the file's digest is), signature holds|broken, signer SUBJECT (RFC 2253),
// signer-sha256 HEX (the certificate's fingerprint), signed-at SECONDS|none, timestamp SECONDS
// holds|broken, or timestamp none|unreadable; unsigned-attributes timestamp-only|others; and for
// what neither signature covers, "unsigned-extra timestamps N" (N > 1), "unsigned-extra
// timestamp-values N" (N > 1), "unsigned-extra certificate signature|timestamp SUBJECT" for a
// certificate on neither the signer's chain nor the timestamp authority's, "unsigned-extra
// revocation-lists N". False when SIGNATURE is no Authenticode SignedData.
bool PrintAuthenticode(const std::vector<unsigned char>& signature);
