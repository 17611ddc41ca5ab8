// medium_reader signature: who signed the launcher, and whether the signature holds as Windows
// checks it, from the file's own structure; and that it carries nothing that nobody signed.

#include "authenticode.h"
#include "reader_commands.h"
#include "pe_image.h"
#include "sha256.h"
#include "shown.h"
#include "verdict.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <ctime>
#include <memory>

namespace proof {
namespace {

std::string At(const std::optional<long long>& seconds)
{
    if (!seconds)
        return "no time";
    const std::time_t time = static_cast<std::time_t>(*seconds);
    std::tm tm{};
    char text[64];
    if (!gmtime_r(&time, &tm) || !std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm))
        return "no time";
    return text;
}

// The SHA-256 of the first certificate in the PEM file CERT, in hex; empty when it holds none.
std::string CertificateSha256(const std::string& path)
{
    std::unique_ptr<FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "r"), std::fclose);
    std::unique_ptr<X509, decltype(&X509_free)> certificate(file ? PEM_read_X509(file.get(), nullptr, nullptr, nullptr) : nullptr,
                                                            X509_free);
    if (!certificate)
        return {};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    X509_digest(certificate.get(), EVP_sha256(), digest, &length);
    return medium::HexOf(digest, length);
}

}  // namespace

int Signature(const std::string& launcher, const std::string& signerPem)
{
    const std::string expected = signerPem.empty() ? "" : CertificateSha256(signerPem);
    if (!signerPem.empty() && expected.empty())
        CannotTell("--signer names " + medium::Shown(signerPem) + ", which holds no certificate in PEM form");
    std::optional<executable::PeSignature> signature;
    try {
        signature = executable::ReadPeSignature(launcher);
    } catch (const executable::Malformed& malformed) {
        Different("Project1.exe on the medium is no program make-medium signs: " + medium::Shown(malformed.what()));
    }
    if (!signature) {
        if (!expected.empty())
            Different("Project1.exe on the medium is not signed, and --signer names who must have signed it");
        Say("Project1.exe on the medium is not signed");
        return 3;
    }
    const auto facts = executable::ReadAuthenticode(signature->der);
    if (!facts)
        Different("Project1.exe on the medium is no program make-medium signs: the signature is no Authenticode signature");
    if (facts->digestAlgorithm != "SHA256")
        Different("Project1.exe's signature vouches for a " + medium::Shown(facts->digestAlgorithm) +
                  " digest, and make-medium signs with SHA-256");
    if (facts->digestSigned != signature->digestComputed)
        Different("Project1.exe's signature vouches for another file's digest: Windows shows its signature as not valid");
    if (!facts->holds)
        Different("Project1.exe's signature does not hold with its own certificate: Windows shows it as not valid");
    if (!signature->tableExact || facts->othersUnsigned)
        Different("Project1.exe's signature carries bytes that nobody signed (in its certificate table, or unsigned attributes "
                  "other than a timestamp), which signing never writes");
    // Beside the signer's chain and the timestamp's, one timestamp of one value: nothing.
    if (!facts->extras.empty())
        Different("Project1.exe's signature carries what nobody signed, which signing never writes: " +
                  medium::Shown(facts->extras.front()));
    if (facts->timestamp == executable::AuthenticodeFacts::Stamp::Unreadable ||
        (facts->timestamp == executable::AuthenticodeFacts::Stamp::Read && !facts->stampHolds))
        Different("Project1.exe's timestamp does not hold, or cannot be read: Windows shows its signature as not valid");
    std::string signedBy = "signed by " + medium::Shown(facts->signer) + " at " + At(facts->signedAt);
    signedBy += facts->timestamp == executable::AuthenticodeFacts::Stamp::Read ? ", timestamped " + At(facts->stampedAt)
                                                                               : ", with no timestamp";
    if (!expected.empty() && facts->signerSha256 != expected)
        Different("Project1.exe is " + signedBy + ", not with the certificate in " + medium::Shown(signerPem));
    signedBy += ", the signature holds";
    Say("Project1.exe on the medium is " + signedBy);
    std::printf("%s", signedBy.c_str());
    return 0;
}

}  // namespace proof
