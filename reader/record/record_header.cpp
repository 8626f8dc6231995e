#include "reader/record/record_header.h"

#include <cstring>

namespace {

const char HeaderMark[] = "Fenwarr record";

struct HeaderKey {
    const char* pName;
    std::string MachineFacts::*pField;
};

constexpr HeaderKey HeaderKeys[] = {
    {"computer", &MachineFacts::Computer},   {"windows", &MachineFacts::Windows},
    {"processor", &MachineFacts::Processor}, {"package", &MachineFacts::Package},
    {"program", &MachineFacts::Program},     {"action", &MachineFacts::Action},
    {"started", &MachineFacts::Started},
};

} // namespace

void ClearMachineFacts(MachineFacts* pFacts) {
    pFacts->Marked = false;
    for (const HeaderKey& Key : HeaderKeys)
        (pFacts->*Key.pField).clear();
}

bool HasMachineFacts(const MachineFacts& Facts) {
    bool Known = false;
    for (const HeaderKey& Key : HeaderKeys)
        Known = Known || !(Facts.*Key.pField).empty();
    return Known;
}

bool ReadHeaderLine(const char* pLine, size_t Length, MachineFacts* pFacts) {
    if (Length > 0 && pLine[Length - 1] == '\r')
        --Length;
    if (Length < 2 || pLine[0] != '#' || pLine[1] != ' ')
        return false;
    const char* pText = pLine + 2;
    const size_t TextLength = Length - 2;
    if (TextLength == strlen(HeaderMark) && memcmp(pText, HeaderMark, TextLength) == 0) {
        pFacts->Marked = true;
        return true;
    }
    for (const HeaderKey& Key : HeaderKeys) {
        const size_t KeyLength = strlen(Key.pName);
        if (TextLength < KeyLength + 2 || memcmp(pText, Key.pName, KeyLength) != 0 ||
            memcmp(pText + KeyLength, ": ", 2) != 0)
            continue;
        const size_t ValueLength = TextLength - KeyLength - 2;
        (pFacts->*Key.pField)
            .assign(pText + KeyLength + 2,
                    ValueLength < size_t{HeaderValueMax} ? ValueLength : size_t{HeaderValueMax});
        break;
    }
    return true;
}
