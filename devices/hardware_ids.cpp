#include "devices/devices.h"

#include <cstddef>

const char* const HardwareIdTable[HardwareIdCount] = {
    "USB\\VID_4C1B&PID_7435", "USB\\VID_4C1B&PID_7500", "USB\\VID_4C1B&PID_743A", "USB\\VID_4C1B&PID_74ED",
    "USB\\VID_4C1B&PID_7439", "USB\\VID_4C1B&PID_200F", "USB\\VID_4C1B&PID_2010", "USB\\VID_0E8D&PID_0003",
    "USB\\VID_0E8D&PID_0023", "USB\\VID_0E8D&PID_2000", "USB\\VID_0E8D&PID_2001", "USB\\VID_0E8D&PID_2006",
    "USB\\VID_0E8D&PID_2007", "USB\\VID_0E8D&PID_200A",
};

namespace {

// Bytes are read as signed; 'A'..'Z' stay, everything else moves down by 32. Only the 26 ASCII
// lower-case letters thus meet their upper-case forms; every other byte equals only itself.
int FoldByte(char Byte) {
    int Value = static_cast<signed char>(Byte); // NOLINT(bugprone-signed-char-misuse): signed on purpose
    return (Value >= 'A' && Value <= 'Z') ? Value : Value - 32;
}

} // namespace

int StrContainsNoCase(const char* pString, const char* pSubString) {
    if (pString == NULL || pSubString == NULL)
        return 0;
    // An empty pSubString never matches: its terminator folds to a value no string byte has.
    const int First = FoldByte(pSubString[0]);
    for (const char* pStart = pString; *pStart != '\0'; ++pStart) {
        if (FoldByte(*pStart) != First)
            continue;
        size_t Matched = 1;
        while (pSubString[Matched] != '\0' && pStart[Matched] != '\0' &&
               FoldByte(pStart[Matched]) == FoldByte(pSubString[Matched]))
            ++Matched;
        if (pSubString[Matched] == '\0')
            return 1;
    }
    return 0;
}

int MatchesHardwareIdTable(const char* pHardwareId) {
    for (const char* pEntry : HardwareIdTable) {
        if (StrContainsNoCase(pHardwareId, pEntry))
            return 1;
    }
    return 0;
}
