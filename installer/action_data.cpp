#include "installer/action_data.h"

#include <cstring>

namespace {

// Copies the field that starts at p and ends at the next '|' or the end; returns the end, or null when
// it does not fit.
const char* Field(const char* p, char* pOut, size_t Room) {
    const char* pEnd = strchr(p, '|');
    const size_t Length = pEnd != nullptr ? static_cast<size_t>(pEnd - p) : strlen(p);
    if (Length >= Room)
        return nullptr;
    memcpy(pOut, p, Length);
    pOut[Length] = '\0';
    return p + Length;
}

} // namespace

bool ParseActionData(const char* pData, ActionData* pOut) {
    char Partial[8];
    const char* p = Field(pData, pOut->Folder, sizeof(pOut->Folder) - 1);
    if (p == nullptr || *p != '|' || pOut->Folder[0] == '\0')
        return false;
    p = Field(p + 1, pOut->Version, sizeof(pOut->Version));
    if (p == nullptr || *p != '|')
        return false;
    p = Field(p + 1, Partial, sizeof(Partial));
    if (p == nullptr || *p != '\0')
        return false;
    // Field left a byte to spare for the backslash.
    const size_t Length = strlen(pOut->Folder);
    if (pOut->Folder[Length - 1] != '\\') {
        pOut->Folder[Length] = '\\';
        pOut->Folder[Length + 1] = '\0';
    }
    pOut->AllowPartial = strcmp(Partial, "1") == 0;
    return true;
}
