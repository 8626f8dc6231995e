#include "reader/steps/step_values.h"

#include <cstring>

std::string ValueText(const MessageValue& Value) {
    return std::string(Value.p, Value.Length);
}

uint32_t DecimalError(const MessageValue& Value) {
    uint32_t Number = 0;
    return ValueAsDecimal(Value, &Number) ? Number : 0;
}

uint32_t HexError(const MessageValue& Value) {
    uint32_t Number = 0;
    return ValueAsHex(Value, &Number) ? Number : 0;
}

int NameIndex(const MessageValue& Value, const char* const* pNames, int Count) {
    const char* pName = Value.p;
    for (size_t i = 0; i < Value.Length; ++i) {
        if (Value.p[i] == '\\')
            pName = Value.p + i + 1;
    }
    const size_t Length = Value.Length - static_cast<size_t>(pName - Value.p);
    int Found = -1;
    for (int i = 0; i < Count && Found < 0; ++i) {
        if (strlen(pNames[i]) == Length && memcmp(pNames[i], pName, Length) == 0)
            Found = i;
    }
    return Found;
}

std::string JoinedPath(const MessageValue& Folder, const MessageValue& Name) {
    return ValueText(Folder) + "\\" + ValueText(Name);
}
