// The hash Windows looks a file up by in a catalog: the Authenticode hash of a PE file (its checksum,
// certificate-table entry and certificates left out), the hash of the whole content of any other.
#pragma once
#include <cstddef>
#include <string>

struct ByteRange {
    size_t start;
    size_t length;
};
enum { PeMaxRanges = 3 };

// The ranges of a PE file the Authenticode hash covers: their count, 0 for a file that is no PE file,
// -1 for one that starts as a PE file (MZ) but whose headers run past its end.
int PeRanges(const unsigned char* data, size_t size, ByteRange ranges[PeMaxRanges]);

// The hash of bytes by algorithm ("sha1", "sha256") as Windows looks it up, upper-case hex; false, with
// why, for a cabinet, an MSI file or broken PE headers.
bool MemberHash(const std::string& bytes, const char* algorithm, std::string& hex, std::string& why);
