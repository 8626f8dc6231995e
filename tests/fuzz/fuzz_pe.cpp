// pkgcheck's PE reading on any bytes: the ranges the Authenticode hash covers lie inside the file, in
// order, and never overlap; its machine is read within the file.
#include "tools/pkgcheck/file_hash.h"
#include "tools/pkgcheck/pe_machine.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteRange ranges[PeMaxRanges];
    const int n = PeRanges(data, size, ranges);
    size_t end = 0;
    for (int i = 0; i < n; ++i) {
        if (ranges[i].start < end || ranges[i].start > size || ranges[i].length > size - ranges[i].start)
            std::abort();
        end = ranges[i].start + ranges[i].length;
    }
    PeMachine(data, size);
    return 0;
}
