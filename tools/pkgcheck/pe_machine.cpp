#include "tools/pkgcheck/pe_machine.h"

#include <cstdio>

namespace {

const struct {
    unsigned machine;
    const char* name;
} Machines[] = {{0x14C, "pei-i386"}, {0x8664, "pei-x86-64"}};

} // namespace

std::string PeMachine(const unsigned char* data, size_t size) {
    if (size < 64 || data[0] != 'M' || data[1] != 'Z')
        return "";
    const size_t pe = data[60] | data[61] << 8 | data[62] << 16 | static_cast<size_t>(data[63]) << 24;
    if (pe > size || size - pe < 6 || data[pe] != 'P' || data[pe + 1] != 'E' || data[pe + 2] != 0 ||
        data[pe + 3] != 0)
        return "";
    const unsigned machine = data[pe + 4] | data[pe + 5] << 8;
    for (const auto& m : Machines)
        if (m.machine == machine)
            return m.name;
    char text[32];
    std::snprintf(text, sizeof text, "PE for machine 0x%04X", machine);
    return text;
}
