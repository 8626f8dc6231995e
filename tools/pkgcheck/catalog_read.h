// A driver catalog read as Windows reads it before it looks a file up: PKCS#7 signed data around a
// certificate trust list of usage 1.3.6.1.4.1.311.12.1.1, with a signer, its members' hashes as tags.
#pragma once
#include "tools/pkgcheck/signer_read.h"

#include <string>
#include <vector>

struct Catalog {
    std::string fault;             // why it is no signed driver catalog, "" when it is one
    std::string answer;            // what Windows answers when it stages an INF naming it
    std::string algorithm;         // its members' hash: "sha1" or "sha256"
    std::vector<std::string> tags; // its members' tags (upper-case hex of their hashes), "-" if not ASCII
    CatalogSigner signer;
};

// The largest catalog read: far above any real one.
enum { CatalogMaxBytes = 64 * 1024 * 1024 };

void CatalogRead(const std::string& bytes, Catalog& catalog);
