#include "tools/pkgcheck/catalog_read.h"

#include <openssl/asn1.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>

namespace {

const char* const TrustListOid = "1.3.6.1.4.1.311.10.1";
const char* const DriverUsageOid = "1.3.6.1.4.1.311.12.1.1";
// The kinds of member a driver catalog holds, by the hash of their tags.
const struct {
    const char* oid;
    const char* algorithm;
} MemberKinds[] = {{"1.3.6.1.4.1.311.12.1.2", "sha1"}, {"1.3.6.1.4.1.311.12.1.3", "sha256"}};
const char* const NotValid = "the catalog is not valid";
const char* const NoSignature = "the catalog file does not contain a signature";

// One DER element: its tag, its content and the bytes after it.
struct Element {
    int tag = 0;
    const unsigned char* content = nullptr;
    long length = 0;
    const unsigned char* header = nullptr;
};

// The element at p (below end), p moved past it; false for a broken or indefinite one.
bool Next(const unsigned char*& p, const unsigned char* end, Element& e) {
    if (p >= end)
        return false;
    e.header = p;
    int xclass = 0;
    const int flags = ASN1_get_object(&p, &e.length, &e.tag, &xclass, end - p);
    if ((flags & 0x80) != 0 || flags == 0x21)
        return false;
    e.tag |= xclass;
    e.content = p;
    p += e.length;
    return true;
}

std::string OidText(const Element& e) {
    const unsigned char* p = e.header;
    ASN1_OBJECT* oid = d2i_ASN1_OBJECT(nullptr, &p, e.content + e.length - e.header);
    char text[128] = "";
    if (oid != nullptr)
        OBJ_obj2txt(text, sizeof text, oid, 1);
    ASN1_OBJECT_free(oid);
    return text;
}

// A tag's text: the UTF-16LE of ASCII up to its NUL, "-" for any other.
std::string TagText(const Element& e) {
    std::string text;
    for (long i = 0; i + 1 < e.length; i += 2) {
        const unsigned char lo = e.content[i];
        if (lo == 0 && e.content[i + 1] == 0)
            break;
        if (e.content[i + 1] != 0 || lo < 32 || lo >= 127)
            return "-";
        text += static_cast<char>(lo);
    }
    return text;
}

// The first OCTET STRING of each subject of the list's third SEQUENCE.
void Tags(const Element& subjects, Catalog& catalog) {
    const unsigned char* p = subjects.content;
    const unsigned char* end = p + subjects.length;
    Element subject;
    while (Next(p, end, subject)) {
        const unsigned char* q = subject.content;
        Element field;
        if (subject.tag == V_ASN1_SEQUENCE && Next(q, subject.content + subject.length, field) &&
            field.tag == V_ASN1_OCTET_STRING)
            catalog.tags.push_back(TagText(field));
    }
}

// The list by position: its usages, its members' kind, its subjects (the first three SEQUENCEs).
void TrustList(const unsigned char* p, long length, std::string& usages, std::string& kind,
               Catalog& catalog) {
    Element list;
    if (!Next(p, p + length, list) || list.tag != V_ASN1_SEQUENCE)
        return;
    const unsigned char* q = list.content;
    Element e;
    for (int seq = 0; seq < 3 && Next(q, list.content + list.length, e);) {
        if (e.tag != V_ASN1_SEQUENCE)
            continue;
        ++seq;
        const unsigned char* r = e.content;
        Element inner;
        if (seq == 3) {
            Tags(e, catalog);
            break;
        }
        while (Next(r, e.content + e.length, inner))
            if (inner.tag == V_ASN1_OBJECT) {
                if (seq == 1)
                    usages += " " + OidText(inner);
                else if (kind.empty())
                    kind = OidText(inner);
            }
    }
}

void Fault(Catalog& catalog, const std::string& why, const char* answer) {
    catalog.fault = why;
    catalog.answer = answer;
}

// The members' kind and usages against a driver catalog's.
void CheckList(const std::string& usages, const std::string& kind, Catalog& catalog) {
    for (const auto& k : MemberKinds)
        if (kind == k.oid)
            catalog.algorithm = k.algorithm;
    if (usages.empty() && kind.empty())
        Fault(catalog, "not a catalog (its content is no certificate trust list)", NotValid);
    else if ((usages + " ").find(std::string(" ") + DriverUsageOid + " ") == std::string::npos)
        Fault(catalog,
              "not a driver catalog (a list for" + (usages.empty() ? " no usage" : usages) + ", not " +
                  DriverUsageOid + ")",
              NotValid);
    else if (catalog.algorithm.empty())
        Fault(catalog,
              "not a driver catalog (members of kind " + (kind.empty() ? "none" : kind) +
                  ", neither 1.3.6.1.4.1.311.12.1.2 nor .3)",
              NotValid);
}

std::string TypeText(const ASN1_OBJECT* type) {
    char text[128] = "";
    OBJ_obj2txt(text, sizeof text, type, 0);
    return text;
}

// The signed data's content: the list bare (as signing tools write it) or in an OCTET STRING (as CMS does).
void SignedContent(PKCS7* p7, Catalog& catalog) {
    const PKCS7* content = p7->d.sign->contents;
    const std::string ctype = content != nullptr ? TypeText(content->type) : "-";
    char oid[128] = "";
    if (content != nullptr)
        OBJ_obj2txt(oid, sizeof oid, content->type, 1);
    if (content == nullptr || std::string(oid) != TrustListOid) {
        Fault(catalog, "not a catalog (signs " + ctype + ", not a certificate trust list)", NotValid);
        return;
    }
    if (sk_PKCS7_SIGNER_INFO_num(p7->d.sign->signer_info) <= 0) {
        Fault(catalog, "not a signed catalog (no signer)", NoSignature);
        return;
    }
    std::string usages;
    std::string kind;
    const ASN1_TYPE* list = content->d.other;
    if (list != nullptr && list->type == V_ASN1_SEQUENCE)
        TrustList(list->value.sequence->data, list->value.sequence->length, usages, kind, catalog);
    else if (list != nullptr && list->type == V_ASN1_OCTET_STRING)
        TrustList(list->value.octet_string->data, list->value.octet_string->length, usages, kind, catalog);
    CheckList(usages, kind, catalog);
    SignerRead(p7, catalog.signer);
}

} // namespace

void CatalogRead(const std::string& bytes, Catalog& catalog) {
    catalog = Catalog();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    PKCS7* p7 = d2i_PKCS7(nullptr, &p, static_cast<long>(bytes.size()));
    if (p7 == nullptr)
        Fault(catalog, "not a signed catalog (not PKCS#7)", NotValid);
    else if (!PKCS7_type_is_signed(p7) || p7->d.sign == nullptr)
        Fault(catalog, "not a signed catalog (" + TypeText(p7->type) + ", not PKCS#7 signed data)",
              NoSignature);
    else
        SignedContent(p7, catalog);
    PKCS7_free(p7);
}
