// An Authenticode signature read with OpenSSL from its own structure, as Windows checks it: the
// digest it signs (the SpcIndirectDataContent's), whether the signer's signature over its
// authenticated attributes holds with the signer's own certificate and those attributes name that
// content, who signed and when, and the RFC 3161 timestamp, whether its own signature holds and
// it stamps this signature. Chains of trust are the verifier's machine's business, not read here.

#include "authenticode.h"

#include "sha256.h"

#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/ts.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace executable {
namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
template <typename T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, Deleter<T, Free>>;

void FreeBytes(unsigned char* p)
{
    OPENSSL_free(p);
}

void FreeSequence(ASN1_SEQUENCE_ANY* sequence)
{
    sk_ASN1_TYPE_pop_free(sequence, ASN1_TYPE_free);
}

std::string Digest(const EVP_MD* md, const unsigned char* bytes, size_t count)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!md || EVP_Digest(bytes, count, digest, &length, md, nullptr) != 1)
        return {};
    return medium::HexOf(digest, length);
}

// A time as seconds since 1970, when it is one.
std::optional<long long> Seconds(const ASN1_TIME* time)
{
    std::tm tm{};
    if (!time || ASN1_TIME_to_tm(time, &tm) != 1)
        return std::nullopt;
    return static_cast<long long>(timegm(&tm));
}

// The bytes within a DER value: past its tag and length.
std::pair<const unsigned char*, size_t> Contents(const unsigned char* der, size_t size)
{
    long length = 0;
    int tag = 0, cls = 0;
    const unsigned char* p = der;
    if (ASN1_get_object(&p, &length, &tag, &cls, static_cast<long>(size)) & 0x80)
        return {nullptr, 0};
    return {p, static_cast<size_t>(length)};
}

// An object identifier in dotted form.
std::string Dotted(const ASN1_OBJECT* object)
{
    char text[128];
    return object && OBJ_obj2txt(text, sizeof text, object, 1) > 0 ? text : "";
}

// The first value of SIGNER's unauthenticated attribute of that identifier.
ASN1_TYPE* Unauthenticated(PKCS7_SIGNER_INFO* signer, const std::string& identifier)
{
    for (int i = 0; i < sk_X509_ATTRIBUTE_num(signer->unauth_attr); ++i) {
        X509_ATTRIBUTE* attribute = sk_X509_ATTRIBUTE_value(signer->unauth_attr, i);
        if (Dotted(X509_ATTRIBUTE_get0_object(attribute)) == identifier)
            return X509_ATTRIBUTE_get0_type(attribute, 0);
    }
    return nullptr;
}

// CERTIFICATE's chain within CERTIFICATES: it, then each issuer found there by name whose key
// verifies the one before, up to a root that issued itself.
std::vector<X509*> ChainOf(X509* certificate, STACK_OF(X509)* certificates)
{
    std::vector<X509*> chain;
    for (X509* at = certificate; at && std::find(chain.begin(), chain.end(), at) == chain.end();) {
        chain.push_back(at);
        X509* issuer = nullptr;
        for (int i = 0; i < sk_X509_num(certificates) && !issuer; ++i) {
            X509* candidate = sk_X509_value(certificates, i);
            if (X509_check_issued(candidate, at) == X509_V_OK && X509_verify(at, X509_get0_pubkey(candidate)) == 1)
                issuer = candidate;
        }
        at = issuer;
    }
    return chain;
}

std::string Subject(X509* certificate)
{
    Owned<BIO, BIO_free_all> subject(BIO_new(BIO_s_mem()));
    X509_NAME_print_ex(subject.get(), X509_get_subject_name(certificate), 0, XN_FLAG_RFC2253);
    char* text = nullptr;
    const long length = BIO_get_mem_data(subject.get(), &text);
    return std::string(text, static_cast<size_t>(length));
}

void FreeCertificates(STACK_OF(X509)* certificates)
{
    sk_X509_pop_free(certificates, X509_free);
}

void FreeRevocationLists(STACK_OF(X509_CRL)* lists)
{
    sk_X509_CRL_pop_free(lists, X509_CRL_free);
}

// What a signature carries that its signer's chain and its timestamp's do not account for.
struct Carried {
    std::vector<X509*> chains;                        // the signer's and the timestamp authority's
    std::vector<std::pair<X509*, std::string>> all;  // every certificate, and where it lies
    int revocationLists = 0;
};

// The RFC 3161 timestamp in SIGNER's unauthenticated attributes (Microsoft's identifier for it):
// its time, and whether its own signature holds and it stamps SIGNER's signature value. Its
// certificates and revocation lists go into CARRIED.
void ReadTimestamp(PKCS7_SIGNER_INFO* signer, AuthenticodeFacts& facts, Carried& carried,
                   Owned<STACK_OF(X509), FreeCertificates>& tokenCertificates)
{
    ASN1_TYPE* attribute = Unauthenticated(signer, "1.3.6.1.4.1.311.3.3.1");
    if (!attribute || attribute->type != V_ASN1_SEQUENCE)
        return;
    const unsigned char* p = attribute->value.sequence->data;
    Owned<CMS_ContentInfo, CMS_ContentInfo_free> token(d2i_CMS_ContentInfo(nullptr, &p, attribute->value.sequence->length));
    Owned<BIO, BIO_free_all> content(BIO_new(BIO_s_mem()));
    // The token's signature over its content, with the certificate it carries.
    const bool holds = token && CMS_verify(token.get(), nullptr, nullptr, nullptr, content.get(),
                                           CMS_NO_SIGNER_CERT_VERIFY | CMS_BINARY) == 1;
    if (token) {
        tokenCertificates.reset(CMS_get1_certs(token.get()));
        Owned<STACK_OF(X509_CRL), FreeRevocationLists> lists(CMS_get1_crls(token.get()));
        carried.revocationLists += sk_X509_CRL_num(lists.get()) > 0 ? sk_X509_CRL_num(lists.get()) : 0;
        STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(token.get());
        for (int i = 0; i < sk_X509_num(tokenCertificates.get()); ++i) {
            X509* certificate = sk_X509_value(tokenCertificates.get(), i);
            carried.all.emplace_back(certificate, "timestamp");
            if (sk_CMS_SignerInfo_num(signers) == 1 && CMS_SignerInfo_cert_cmp(sk_CMS_SignerInfo_value(signers, 0), certificate) == 0)
                for (X509* inChain : ChainOf(certificate, tokenCertificates.get()))
                    carried.chains.push_back(inChain);
        }
    }
    ASN1_OCTET_STRING** inner = token ? CMS_get0_content(token.get()) : nullptr;
    p = inner && *inner ? (*inner)->data : nullptr;
    Owned<TS_TST_INFO, TS_TST_INFO_free> info(p ? d2i_TS_TST_INFO(nullptr, &p, (*inner)->length) : nullptr);
    if (!info) {
        facts.timestamp = AuthenticodeFacts::Stamp::Unreadable;
        return;
    }
    TS_MSG_IMPRINT* imprint = TS_TST_INFO_get_msg_imprint(info.get());
    const X509_ALGOR* algorithm = TS_MSG_IMPRINT_get_algo(imprint);
    const ASN1_OCTET_STRING* stamped = TS_MSG_IMPRINT_get_msg(imprint);
    const EVP_MD* md = EVP_get_digestbyobj(algorithm->algorithm);
    const bool ofThis = Digest(md, signer->enc_digest->data, static_cast<size_t>(signer->enc_digest->length)) ==
                        medium::HexOf(stamped->data, static_cast<size_t>(stamped->length));
    facts.timestamp = AuthenticodeFacts::Stamp::Read;
    facts.stampedAt = Seconds(TS_TST_INFO_get_time(info.get()));
    facts.stampHolds = holds && ofThis && facts.stampedAt;
}

}  // namespace

std::optional<AuthenticodeFacts> ReadAuthenticode(const std::vector<unsigned char>& signature)
{
    const unsigned char* p = signature.data();
    Owned<PKCS7, PKCS7_free> p7(d2i_PKCS7(nullptr, &p, static_cast<long>(signature.size())));
    if (!p7 || !PKCS7_type_is_signed(p7.get()))
        return std::nullopt;
    PKCS7_SIGNED* signedData = p7->d.sign;
    PKCS7* contentInfo = signedData->contents;
    // SpcIndirectDataContent, Authenticode's content, and one signer.
    if (!contentInfo || Dotted(contentInfo->type) != "1.3.6.1.4.1.311.2.1.4" || !contentInfo->d.other ||
        contentInfo->d.other->type != V_ASN1_SEQUENCE || sk_PKCS7_SIGNER_INFO_num(signedData->signer_info) != 1)
        return std::nullopt;
    PKCS7_SIGNER_INFO* signer = sk_PKCS7_SIGNER_INFO_value(signedData->signer_info, 0);

    // The digest the signature vouches for: the SpcIndirectDataContent's DigestInfo.
    const ASN1_STRING* indirect = contentInfo->d.other->value.sequence;
    p = indirect->data;
    Owned<ASN1_SEQUENCE_ANY, FreeSequence> fields(
        d2i_ASN1_SEQUENCE_ANY(nullptr, &p, indirect->length));
    ASN1_TYPE* digestInfo = fields && sk_ASN1_TYPE_num(fields.get()) == 2 ? sk_ASN1_TYPE_value(fields.get(), 1) : nullptr;
    if (!digestInfo || digestInfo->type != V_ASN1_SEQUENCE)
        return std::nullopt;
    p = digestInfo->value.sequence->data;
    Owned<X509_SIG, X509_SIG_free> signedDigest(d2i_X509_SIG(nullptr, &p, digestInfo->value.sequence->length));
    if (!signedDigest)
        return std::nullopt;
    const X509_ALGOR* fileAlgorithm = nullptr;
    const ASN1_OCTET_STRING* fileDigest = nullptr;
    X509_SIG_get0(signedDigest.get(), &fileAlgorithm, &fileDigest);
    AuthenticodeFacts facts;
    const char* algorithm = OBJ_nid2sn(OBJ_obj2nid(fileAlgorithm->algorithm));
    facts.digestAlgorithm = algorithm ? algorithm : "";
    facts.digestSigned = medium::HexOf(fileDigest->data, static_cast<size_t>(fileDigest->length));

    // The signer's certificate, and its signature over the authenticated attributes, which must
    // name the content's digest (over the content's own bytes, past its tag and length).
    X509* certificate = X509_find_by_issuer_and_serial(signedData->cert, signer->issuer_and_serial->issuer,
                                                       signer->issuer_and_serial->serial);
    const EVP_MD* md = EVP_get_digestbyobj(signer->digest_alg->algorithm);
    const auto [content, contentSize] = Contents(indirect->data, static_cast<size_t>(indirect->length));
    ASN1_TYPE* named = PKCS7_get_signed_attribute(signer, NID_pkcs9_messageDigest);
    const bool namesContent = content && named && named->type == V_ASN1_OCTET_STRING &&
                              Digest(md, content, contentSize) ==
                                  medium::HexOf(named->value.octet_string->data, static_cast<size_t>(named->value.octet_string->length));
    unsigned char* attributes = nullptr;
    const int attributesSize = ASN1_item_i2d(reinterpret_cast<ASN1_VALUE*>(signer->auth_attr), &attributes,
                                             ASN1_ITEM_rptr(PKCS7_ATTR_VERIFY));
    Owned<unsigned char, FreeBytes> ownAttributes(attributes);
    Owned<EVP_MD_CTX, EVP_MD_CTX_free> verifying(EVP_MD_CTX_new());
    const bool holds = certificate && md && attributesSize > 0 && namesContent &&
                       EVP_DigestVerifyInit(verifying.get(), nullptr, md, nullptr, X509_get0_pubkey(certificate)) == 1 &&
                       EVP_DigestVerify(verifying.get(), signer->enc_digest->data,
                                        static_cast<size_t>(signer->enc_digest->length), attributes,
                                        static_cast<size_t>(attributesSize)) == 1;
    facts.holds = holds;
    if (certificate) {
        facts.signer = Subject(certificate);
        unsigned char fingerprint[EVP_MAX_MD_SIZE];
        unsigned int fingerprintSize = 0;
        X509_digest(certificate, EVP_sha256(), fingerprint, &fingerprintSize);
        facts.signerSha256 = medium::HexOf(fingerprint, fingerprintSize);
    }
    ASN1_TYPE* signingTime = PKCS7_get_signed_attribute(signer, NID_pkcs9_signingTime);
    if (signingTime && (signingTime->type == V_ASN1_UTCTIME || signingTime->type == V_ASN1_GENERALIZEDTIME))
        facts.signedAt = Seconds(signingTime->value.utctime);
    Carried carried;
    Owned<STACK_OF(X509), FreeCertificates> tokenCertificates;
    ReadTimestamp(signer, facts, carried, tokenCertificates);
    // Unsigned attributes are outside what the signature covers: one timestamp, of one value, is
    // the only one signing writes.
    bool others = false;
    int timestamps = 0, values = 0;
    for (int i = 0; i < sk_X509_ATTRIBUTE_num(signer->unauth_attr); ++i) {
        X509_ATTRIBUTE* attribute = sk_X509_ATTRIBUTE_value(signer->unauth_attr, i);
        if (Dotted(X509_ATTRIBUTE_get0_object(attribute)) != "1.3.6.1.4.1.311.3.3.1") {
            others = true;
        } else {
            ++timestamps;
            values = std::max(values, X509_ATTRIBUTE_count(attribute));
        }
    }
    facts.othersUnsigned = others;
    if (timestamps > 1)
        facts.extras.push_back("timestamps " + std::to_string(timestamps));
    if (values > 1)
        facts.extras.push_back("timestamp-values " + std::to_string(values));
    // Certificates beyond the signer's chain and the timestamp's, and revocation lists, are
    // outside what either signature covers.
    if (certificate)
        for (X509* inChain : ChainOf(certificate, signedData->cert))
            carried.chains.push_back(inChain);
    for (int i = 0; i < sk_X509_num(signedData->cert); ++i)
        carried.all.emplace_back(sk_X509_value(signedData->cert, i), "signature");
    for (const auto& [any, where] : carried.all)
        if (std::none_of(carried.chains.begin(), carried.chains.end(), [&](X509* inChain) { return X509_cmp(inChain, any) == 0; }))
            facts.extras.push_back("certificate " + where + " " + Subject(any));
    carried.revocationLists += std::max(0, sk_X509_CRL_num(signedData->crl));
    if (carried.revocationLists > 0)
        facts.extras.push_back("revocation-lists " + std::to_string(carried.revocationLists));
    return facts;
}

void PrintAuthenticode(const AuthenticodeFacts& facts)
{
    const auto seconds = [](const std::optional<long long>& at) { return at ? std::to_string(*at) : std::string("none"); };
    std::printf("digest-algorithm %s\n", facts.digestAlgorithm.c_str());
    std::printf("digest-signed %s\n", facts.digestSigned.c_str());
    std::printf("signature %s\n", facts.holds ? "holds" : "broken");
    if (!facts.signer.empty() || !facts.signerSha256.empty()) {
        std::printf("signer %s\n", facts.signer.c_str());
        std::printf("signer-sha256 %s\n", facts.signerSha256.c_str());
    }
    std::printf("signed-at %s\n", seconds(facts.signedAt).c_str());
    switch (facts.timestamp) {
    case AuthenticodeFacts::Stamp::None:
        std::printf("timestamp none\n");
        break;
    case AuthenticodeFacts::Stamp::Unreadable:
        std::printf("timestamp unreadable\n");
        break;
    case AuthenticodeFacts::Stamp::Read:
        std::printf("timestamp %s %s\n", seconds(facts.stampedAt).c_str(), facts.stampHolds ? "holds" : "broken");
        break;
    }
    std::printf("unsigned-attributes %s\n", facts.othersUnsigned ? "others" : "timestamp-only");
    for (const std::string& extra : facts.extras)
        std::printf("unsigned-extra %s\n", extra.c_str());
}

}  // namespace executable
