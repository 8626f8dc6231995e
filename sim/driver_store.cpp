// Simulated driver store: SetupCopyOEMInfA gives each new INF an oemN.inf name in the INF folder and
// hands back the existing name when the same content is staged again.
#include "sim/sim.h"

using namespace sim;

namespace {

// Setup API errors carry the high bit.
const DWORD ErrorWrongInfStyle = 0xE0000100u;

std::string InfDir() {
    return ParentDir(M().systemDir) + "\\INF";
}

std::string NextStoreName() {
    for (int n = 0;; ++n) {
        std::string name = InfDir() + "\\oem" + std::to_string(n) + ".inf";
        if (!FileExists(name))
            return name;
    }
}

} // namespace

BOOL WINAPI SetupCopyOEMInfA(PCSTR SourceInfFileName, PCSTR OEMSourceMediaLocation, DWORD OEMSourceMediaType,
                             DWORD CopyStyle, PSTR DestinationInfFileName, DWORD DestinationInfFileNameSize,
                             PDWORD RequiredSize, PSTR* DestinationInfFileNameComponent) {
    Record("SetupCopyOEMInfA", {Str(SourceInfFileName), Str(OEMSourceMediaLocation), Num(OEMSourceMediaType),
                                Num(CopyStyle), Ptr(DestinationInfFileName), Num(DestinationInfFileNameSize),
                                Ptr(RequiredSize), Ptr(DestinationInfFileNameComponent)});
    if (Injected("SetupCopyOEMInfA"))
        return FALSE;
    const File* pSource = FindFile(SourceInfFileName);
    if (pSource == nullptr) {
        SetLastError(M().dirs.count(Lower(ParentDir(SourceInfFileName))) ? ERROR_FILE_NOT_FOUND
                                                                         : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (pSource->data.find("Signature") == std::string::npos) {
        SetLastError(ErrorWrongInfStyle);
        return FALSE;
    }

    std::string name;
    for (const StagedInf& staged : M().store) {
        if (staged.data == pSource->data)
            name = staged.name;
    }
    if (name.empty())
        name = NextStoreName();
    if (RequiredSize != nullptr)
        *RequiredSize = static_cast<DWORD>(name.size() + 1);
    if (DestinationInfFileName != nullptr) {
        if (DestinationInfFileNameSize < name.size() + 1) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        std::memcpy(DestinationInfFileName, name.c_str(), name.size() + 1);
        if (DestinationInfFileNameComponent != nullptr)
            *DestinationInfFileNameComponent = DestinationInfFileName + ParentDir(name).size() + 1;
    }
    if (!FileExists(name)) {
        AddFile(name, pSource->data);
        M().store.push_back({SourceInfFileName, pSource->data, Str(OEMSourceMediaLocation), name});
    }
    return TRUE;
}
