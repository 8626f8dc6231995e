// A catalog's signer and what Windows does with its signature: the certificate, the chain's kind, the
// verdict a maintainer needs.
#pragma once
#include <openssl/pkcs7.h>

#include <string>

struct CatalogSigner {
    std::string subject;
    std::string issuer;
    std::string thumbprint; // SHA-1 of the certificate, upper-case hex
    std::string valid;      // "YYYY-MM-DD to YYYY-MM-DD"
    std::string timestamp;  // the countersignature's time, or "none"
    std::string kind;       // "microsoft", "third-party", "test" or "none"
    std::string verdict;
    std::string der; // the certificate, for the administrators' TrustedPublisher store
};

// Windows' verdict on a chain of that kind ("none": no signature at all).
const char* VerdictOf(const std::string& kind);

// The first signer of p7's signed data (its certificate among p7's certificates).
void SignerRead(PKCS7* p7, CatalogSigner& signer);
