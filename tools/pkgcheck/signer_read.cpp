#include "tools/pkgcheck/signer_read.h"

#include <openssl/objects.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <ctime>

namespace {

// The chain's kinds and Windows' verdict on each.
const struct {
    const char* kind;
    const char* verdict;
} Verdicts[] = {
    {"microsoft", "trusted on every Windows"},
    {"third-party",
     "trusted only where this signer is in TrustedPublisher (a silent install fails with 0xE0000242 "
     "elsewhere)"},
    {"test", "test-signed: test mode only"},
    {"none", "unsigned: 64-bit Windows refuses it"},
};
// Microsoft's hardware signing, by the key purposes of its certificates: WHQL and attestation.
const char* const HardwareSigningOids[] = {"1.3.6.1.4.1.311.10.3.5", "1.3.6.1.4.1.311.10.3.5.1"};

// A certificate name on one line, cut to keep the report's lines short.
std::string NameText(const X509_NAME* name) {
    char text[64] = "";
    X509_NAME_oneline(name, text, sizeof text);
    return text;
}

std::string DateText(const ASN1_TIME* time) {
    std::tm tm{};
    char text[16] = "?";
    if (time != nullptr && ASN1_TIME_to_tm(time, &tm) == 1)
        std::strftime(text, sizeof text, "%Y-%m-%d", &tm);
    return text;
}

bool HardwareSigning(X509* cert) {
    auto* usages =
        static_cast<EXTENDED_KEY_USAGE*>(X509_get_ext_d2i(cert, NID_ext_key_usage, nullptr, nullptr));
    bool found = false;
    for (int i = 0; usages != nullptr && i < sk_ASN1_OBJECT_num(usages); ++i) {
        char oid[64] = "";
        OBJ_obj2txt(oid, sizeof oid, sk_ASN1_OBJECT_value(usages, i), 1);
        for (const char* wanted : HardwareSigningOids)
            found = found || std::string(oid) == wanted;
    }
    EXTENDED_KEY_USAGE_free(usages);
    return found;
}

// The countersignature's signing time, as older signing tools timestamp.
std::string Timestamp(PKCS7_SIGNER_INFO* info) {
    ASN1_TYPE* counter = PKCS7_get_attribute(info, NID_pkcs9_countersignature);
    if (counter == nullptr || counter->type != V_ASN1_SEQUENCE)
        return "none";
    const unsigned char* p = counter->value.sequence->data;
    PKCS7_SIGNER_INFO* cs = d2i_PKCS7_SIGNER_INFO(nullptr, &p, counter->value.sequence->length);
    ASN1_TYPE* when = cs != nullptr ? PKCS7_get_signed_attribute(cs, NID_pkcs9_signingTime) : nullptr;
    std::string text =
        when != nullptr && when->type == V_ASN1_UTCTIME ? DateText(when->value.utctime) : "none";
    PKCS7_SIGNER_INFO_free(cs);
    return text;
}

void Describe(X509* cert, CatalogSigner& signer) {
    signer.subject = NameText(X509_get_subject_name(cert));
    signer.issuer = NameText(X509_get_issuer_name(cert));
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    X509_digest(cert, EVP_sha1(), md, &n);
    for (unsigned int i = 0; i < n; ++i) {
        signer.thumbprint += "0123456789ABCDEF"[md[i] >> 4];
        signer.thumbprint += "0123456789ABCDEF"[md[i] & 15];
    }
    signer.valid = DateText(X509_get0_notBefore(cert)) + " to " + DateText(X509_get0_notAfter(cert));
    const int length = i2d_X509(cert, nullptr);
    if (length > 0) {
        signer.der.resize(static_cast<size_t>(length));
        auto* out = reinterpret_cast<unsigned char*>(&signer.der[0]);
        i2d_X509(cert, &out);
    }
}

} // namespace

const char* VerdictOf(const std::string& kind) {
    for (const auto& v : Verdicts)
        if (kind == v.kind)
            return v.verdict;
    return "";
}

void SignerRead(PKCS7* p7, CatalogSigner& signer) {
    signer = CatalogSigner();
    signer.kind = "none";
    STACK_OF(PKCS7_SIGNER_INFO)* infos = PKCS7_get_signer_info(p7);
    STACK_OF(X509)* certs = infos != nullptr ? PKCS7_get0_signers(p7, nullptr, 0) : nullptr;
    X509* cert = certs != nullptr && sk_X509_num(certs) > 0 ? sk_X509_value(certs, 0) : nullptr;
    if (cert != nullptr) {
        Describe(cert, signer);
        signer.timestamp = Timestamp(sk_PKCS7_SIGNER_INFO_value(infos, 0));
        if (HardwareSigning(cert))
            signer.kind = "microsoft";
        else if (X509_check_issued(cert, cert) == X509_V_OK)
            signer.kind = "test";
        else
            signer.kind = "third-party";
    }
    sk_X509_free(certs);
    signer.verdict = VerdictOf(signer.kind);
}
