// Simulated driver store: SetupCopyOEMInfA gives each new INF an oemN.inf name in the INF folder and
// hands back the existing name when the same content is staged again; SetupUninstallOEMInfA takes one
// out again unless a device still uses it.
#include "sim/sim.h"

#include <algorithm>

using namespace sim;

namespace sim {

std::string InfDir() {
    return ParentDir(M().systemDir) + "\\INF";
}

} // namespace sim

namespace {

// Setup API errors carry the high bit.
const DWORD ErrorWrongInfStyle = 0xE0000100u;

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

BOOL WINAPI SetupUninstallOEMInfA(PCSTR InfFileName, DWORD Flags, PVOID Reserved) {
    Record("SetupUninstallOEMInfA", {Str(InfFileName), Num(Flags), Ptr(Reserved)});
    if (Injected("SetupUninstallOEMInfA"))
        return FALSE;
    // A name in the INF folder, never a path.
    if (InfFileName == nullptr || std::strchr(InfFileName, '\\') != nullptr || Reserved != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string name = InfDir() + "\\" + InfFileName;
    if (!FileExists(name)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (M().infsInUse.count(Lower(InfFileName)) && !(Flags & SUOI_FORCEDELETE)) {
        SetLastError(ERROR_INF_IN_USE_BY_DEVICES);
        return FALSE;
    }
    M().files.erase(Lower(name));
    std::vector<StagedInf>& store = M().store;
    store.erase(std::remove_if(store.begin(), store.end(),
                               [&](const StagedInf& staged) { return Lower(staged.name) == Lower(name); }),
                store.end());
    return TRUE;
}
