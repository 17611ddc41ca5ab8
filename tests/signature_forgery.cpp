// Forges an Authenticode signature (PKCS#7, DER) the way someone who holds a signed launcher can:
// adding to it what lies outside what its signer signed. The verification tests attach the result
// to the launcher and expect it refused.
//   signature_forgery IN OUT revocation-list CRL.pem   a revocation list among its certificates
//   signature_forgery IN OUT second-timestamp          its timestamp attribute twice
//   signature_forgery IN OUT second-timestamp-value    its timestamp attribute with its value twice
//   signature_forgery IN OUT timestamp-certificate CERT.pem   a certificate among its timestamp's
//   signature_forgery IN attributes                    prints its signer's unsigned attributes'
//                                                      identifiers in the order they lie, one a line
//   signature_forgery attach UNSIGNED.exe IN OUT.exe   UNSIGNED.exe carrying IN as signing writes a
//                                                      signature, whatever it holds (a signing tool
//                                                      may refuse a signature it cannot verify)

#include "pe_image.h"

#include <openssl/cms.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

int Refuse(const std::string& why)
{
    std::fprintf(stderr, "signature_forgery: %s\n", why.c_str());
    return 1;
}

// UNSIGNED with DER appended as its certificate table's one entry, padded to 8 bytes, the table's
// directory entry and the checksum set as signing sets them.
int Attach(const char* unsigned_, const char* der, const char* out)
{
    try {
        executable::Image image = executable::ReadImage(unsigned_);
        const executable::Headers h = executable::ReadHeaders(image);
        if (executable::Directory(image, h, 4).first)
            return Refuse(std::string(unsigned_) + " is signed already");
        const executable::Image signature = executable::ReadImage(der);
        image.bytes.resize((image.bytes.size() + 7) / 8 * 8);
        const std::uint32_t table = static_cast<std::uint32_t>(image.bytes.size());
        const std::uint32_t length = 8 + static_cast<std::uint32_t>((signature.bytes.size() + 7) / 8 * 8);
        const auto put = [&](size_t at, std::uint32_t value, int size) {
            for (int i = 0; i < size; ++i)
                image.bytes[at + i] = static_cast<unsigned char>(value >> 8 * i);
        };
        image.bytes.resize(table + length);
        put(table, length, 4);
        put(table + 4, 0x0200, 2);  // WIN_CERT_REVISION_2_0
        put(table + 6, 2, 2);       // WIN_CERT_TYPE_PKCS_SIGNED_DATA
        std::copy(signature.bytes.begin(), signature.bytes.end(), image.bytes.begin() + table + 8);
        const size_t entry = h.optional + (h.wide ? 112 : 96) + 8 * 4;
        put(entry, table, 4);
        put(entry + 4, length, 4);
        put(h.checksumField, executable::Checksum(image, h), 4);
        std::ofstream file(out, std::ios::binary);
        file.write(reinterpret_cast<const char*>(image.bytes.data()), static_cast<std::streamsize>(image.bytes.size()));
        return file.good() ? 0 : Refuse(std::string(out) + " cannot be written");
    } catch (const executable::Malformed& e) {
        return Refuse(std::string(unsigned_) + ": " + e.what());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Refuse("usage: signature_forgery IN OUT revocation-list CRL.pem | second-timestamp | second-timestamp-value"
                      " | IN attributes | attach UNSIGNED.exe IN OUT.exe");
    if (argc == 5 && std::string(argv[1]) == "attach")
        return Attach(argv[2], argv[3], argv[4]);
    const std::string how = argc == 3 ? argv[2] : argv[3];
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<unsigned char> der((std::istreambuf_iterator<char>(in)), {});
    const unsigned char* p = der.data();
    std::unique_ptr<PKCS7, decltype(&PKCS7_free)> signature(d2i_PKCS7(nullptr, &p, static_cast<long>(der.size())), PKCS7_free);
    if (!signature || !PKCS7_type_is_signed(signature.get()))
        return Refuse(std::string(argv[1]) + " holds no signature");
    PKCS7_SIGNER_INFO* signer = sk_PKCS7_SIGNER_INFO_value(signature->d.sign->signer_info, 0);
    X509_ATTRIBUTE* timestamp = sk_X509_ATTRIBUTE_num(signer->unauth_attr) > 0 ? sk_X509_ATTRIBUTE_value(signer->unauth_attr, 0) : nullptr;
    if (how == "attributes" && argc == 3) {
        for (int i = 0; i < sk_X509_ATTRIBUTE_num(signer->unauth_attr); ++i) {
            char identifier[128];
            OBJ_obj2txt(identifier, sizeof identifier, X509_ATTRIBUTE_get0_object(sk_X509_ATTRIBUTE_value(signer->unauth_attr, i)), 1);
            std::printf("%s\n", identifier);
        }
        return 0;
    }
    if (how == "revocation-list" && argc == 5) {
        FILE* file = std::fopen(argv[4], "r");
        X509_CRL* list = file ? PEM_read_X509_CRL(file, nullptr, nullptr, nullptr) : nullptr;
        if (file)
            std::fclose(file);
        if (!list || PKCS7_add_crl(signature.get(), list) != 1)
            return Refuse(std::string(argv[4]) + " holds no revocation list");
        X509_CRL_free(list);
    } else if (how == "timestamp-certificate" && argc == 5 && timestamp) {
        FILE* file = std::fopen(argv[4], "r");
        X509* certificate = file ? PEM_read_X509(file, nullptr, nullptr, nullptr) : nullptr;
        if (file)
            std::fclose(file);
        const ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(timestamp, 0);
        const unsigned char* at = value->value.sequence->data;
        CMS_ContentInfo* token = d2i_CMS_ContentInfo(nullptr, &at, value->value.sequence->length);
        unsigned char* grown = nullptr;
        const int grownLength = certificate && token && CMS_add1_cert(token, certificate) == 1 ? i2d_CMS_ContentInfo(token, &grown) : 0;
        if (grownLength <= 0)
            return Refuse(std::string(argv[4]) + " holds no certificate, or the timestamp cannot take it");
        X509_ATTRIBUTE* replaced = X509_ATTRIBUTE_create_by_OBJ(nullptr, X509_ATTRIBUTE_get0_object(timestamp), V_ASN1_SEQUENCE,
                                                                grown, grownLength);
        sk_X509_ATTRIBUTE_set(signer->unauth_attr, 0, replaced);
        X509_ATTRIBUTE_free(timestamp);
        OPENSSL_free(grown);
        CMS_ContentInfo_free(token);
        X509_free(certificate);
    } else if (how == "second-timestamp" && timestamp) {
        sk_X509_ATTRIBUTE_push(signer->unauth_attr, X509_ATTRIBUTE_dup(timestamp));
    } else if (how == "second-timestamp-value" && timestamp) {
        const ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(timestamp, 0);
        X509_ATTRIBUTE_set1_data(timestamp, value->type, value->value.sequence->data, value->value.sequence->length);
    } else {
        return Refuse("nothing to forge as " + how + (timestamp ? "" : " (the signature has no timestamp)"));
    }
    unsigned char* forged = nullptr;
    const int length = i2d_PKCS7(signature.get(), &forged);
    std::ofstream out(argv[2], std::ios::binary);
    out.write(reinterpret_cast<const char*>(forged), length);
    OPENSSL_free(forged);
    return length > 0 && out.good() ? 0 : Refuse(std::string(argv[2]) + " cannot be written");
}
