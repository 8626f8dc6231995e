#include "tools/pkgcheck/file_hash.h"

#include <openssl/evp.h>

namespace {

unsigned long Le(const unsigned char* data, size_t at, int bytes) {
    unsigned long v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | data[at + i];
    return v;
}

// The data directory's offset and its number of entries by the optional header's magic; false for
// neither PE32 (0x10B) nor PE32+ (0x20B).
bool DataDirectory(const unsigned char* data, size_t opt, size_t size, size_t& dir, unsigned long& count) {
    if (opt + 112 > size)
        return false;
    const unsigned long magic = Le(data, opt, 2);
    if (magic != 0x10B && magic != 0x20B)
        return false;
    dir = opt + (magic == 0x10B ? 96 : 112);
    count = Le(data, dir - 4, 4);
    return true;
}

} // namespace

int PeRanges(const unsigned char* data, size_t size, ByteRange ranges[PeMaxRanges]) {
    if (size < 64 || data[0] != 'M' || data[1] != 'Z')
        return 0;
    const size_t pe = Le(data, 60, 4);
    if (pe > size || size - pe < 26 || Le(data, pe, 4) != 0x4550)
        return -1;
    const size_t opt = pe + 24;
    const size_t sum = opt + 64;
    size_t dir = 0;
    unsigned long count = 0;
    if (!DataDirectory(data, opt, size, dir, count))
        return -1;
    const size_t cert_entry = dir + 32; // the fifth entry: the certificate table
    if (cert_entry + 8 > size)
        return -1;
    // Without a certificate-table entry only the checksum is left out.
    if (count < 5) {
        ranges[0] = {0, sum};
        ranges[1] = {sum + 4, size - sum - 4};
        return 2;
    }
    const size_t cert = Le(data, cert_entry, 4);
    const size_t length = Le(data, cert_entry + 4, 4);
    size_t end = size;
    if (length > 0) {
        if (cert < cert_entry + 8 || cert > size || length > size - cert)
            return -1;
        end = cert;
    }
    ranges[0] = {0, sum};
    ranges[1] = {sum + 4, cert_entry - sum - 4};
    ranges[2] = {cert_entry + 8, end - cert_entry - 8};
    return 3;
}

bool MemberHash(const std::string& bytes, const char* algorithm, std::string& hex, std::string& why) {
    if (bytes.compare(0, 4, "MSCF") == 0 || bytes.compare(0, 4, "\xD0\xCF\x11\xE0") == 0) {
        why = "a cabinet or MSI file, which Windows hashes its own way; not supported";
        return false;
    }
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    ByteRange ranges[PeMaxRanges];
    int n = PeRanges(data, bytes.size(), ranges);
    if (n < 0) {
        why = "starts as a PE file (MZ) but its headers are broken; Windows cannot hash it";
        return false;
    }
    if (n == 0)
        ranges[n++] = {0, bytes.size()};
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    bool ok = ctx != nullptr && EVP_DigestInit_ex(ctx, EVP_get_digestbyname(algorithm), nullptr) == 1;
    for (int i = 0; ok && i < n; ++i)
        ok = EVP_DigestUpdate(ctx, data + ranges[i].start, ranges[i].length) == 1;
    ok = ok && EVP_DigestFinal_ex(ctx, digest, &length) == 1;
    EVP_MD_CTX_free(ctx);
    hex.clear();
    for (unsigned int i = 0; ok && i < length; ++i) {
        hex += "0123456789ABCDEF"[digest[i] >> 4];
        hex += "0123456789ABCDEF"[digest[i] & 15];
    }
    if (!ok)
        why = "the hash could not be computed";
    return ok;
}
