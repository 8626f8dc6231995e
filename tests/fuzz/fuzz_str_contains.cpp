// StrContainsNoCase and the table match against a plain reference of the folding rule.
#include "devices/devices.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

int Fold(char byte) {
    const int value = static_cast<signed char>(byte);
    return value >= 'A' && value <= 'Z' ? value : value - 32;
}

// 1 when sub occurs as a contiguous run of s under the folding rule; never for an empty sub.
int Contains(const std::string& s, const std::string& sub) {
    for (size_t start = 0; !sub.empty() && start + sub.size() <= s.size(); ++start) {
        size_t i = 0;
        while (i < sub.size() && Fold(s[start + i]) == Fold(sub[i]))
            ++i;
        if (i == sub.size())
            return 1;
    }
    return 0;
}

bool FirstByteRecurs(const std::string& sub) {
    for (size_t i = 1; i < sub.size(); ++i)
        if (Fold(sub[i]) == Fold(sub[0]))
            return true;
    return false;
}

} // namespace

// The input is the searched string, a zero byte, and the string looked for.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    const std::string s = input.substr(0, split);
    const std::string sub = split == std::string::npos ? "" : std::string(input.c_str() + split + 1);

    const int found = StrContainsNoCase(s.c_str(), sub.c_str());
    // Where the walk goes on after a broken partial match is open for a first byte that recurs.
    if ((found != 0 && found != 1) || (!FirstByteRecurs(sub) && found != Contains(s, sub)))
        std::abort();
    if (StrContainsNoCase(nullptr, sub.c_str()) != 0 || StrContainsNoCase(s.c_str(), nullptr) != 0)
        std::abort();

    int listed = 0;
    for (const char* entry : HardwareIdTable)
        listed |= Contains(s, entry);
    if (MatchesHardwareIdTable(s.c_str()) != listed)
        std::abort();
    return 0;
}
