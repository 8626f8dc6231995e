#include "installer/record_header.h"

#include "reader/processors.h"

#include <cstdio>

namespace {

// Header values are one line of printable text: anything else becomes '?'.
std::string Printable(const char* pText) {
    std::string Out;
    for (; *pText != '\0' && Out.size() < 200; ++pText)
        Out.push_back(*pText >= 0x20 && *pText < 0x7f ? *pText : '?');
    return Out;
}

} // namespace

std::string RecordHeader(const HeaderFacts& Facts, const char* pVersion, const char* pProgram,
                         const char* pAction) {
    char Line[128];
    std::string Out = "# Fenwarr record\n# computer: " + Printable(Facts.Computer) + "\n";
    snprintf(Line, sizeof(Line), "# windows: %u.%u build %u", Facts.Major, Facts.Minor, Facts.Build);
    Out.append(Line);
    if (Facts.ServicePack[0] != '\0')
        Out.append("; ").append(Printable(Facts.ServicePack));
    Out.append("\n# processor: ").append(MachineWord(Facts.Machine));
    Out.append("\n# package: ").append(Printable(pVersion));
    Out.append("\n# program: ").append(pProgram).append("\n# action: ").append(pAction).append("\n");
    const int32_t Offset = Facts.UtcOffsetMinutes < 0 ? -Facts.UtcOffsetMinutes : Facts.UtcOffsetMinutes;
    const LocalStamp& T = Facts.Started;
    snprintf(Line, sizeof(Line), "# started: %04u-%02u-%02u %02u:%02u:%02u %c%02d%02d\n", T.Year, T.Month,
             T.Day, T.Hour, T.Minute, T.Second, Facts.UtcOffsetMinutes < 0 ? '-' : '+', Offset / 60,
             Offset % 60);
    return Out.append(Line);
}
