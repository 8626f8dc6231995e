// Simulated device tree: device information sets, registry properties, removal and the
// configuration manager's root node.
#include "sim/sim.h"

using namespace sim;

namespace sim {

std::string MultiSz(const std::vector<std::string>& ids) {
    std::string list;
    for (const std::string& id : ids) {
        list += id;
        list += '\0';
    }
    list += '\0';
    return list;
}

size_t AddDevice(const std::string& instanceId, std::optional<std::string> hardwareIds,
                 std::optional<std::string> driver, bool present) {
    M().devices.push_back(
        {instanceId, std::move(hardwareIds), std::move(driver), present, false, std::nullopt, std::nullopt});
    return M().devices.size() - 1;
}

} // namespace sim

namespace {

const DEVINST RootDevInst = 1;
const DWORD RegSz = 1;
const DWORD RegMultiSz = 7;

// The member's device, or null with the last error set.
Device* MemberDevice(HDEVINFO set, PSP_DEVINFO_DATA data) {
    auto it = M().sets.find(set);
    if (it == M().sets.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (data == nullptr || data->cbSize != sizeof(SP_DEVINFO_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return nullptr;
    }
    // DevInst is the device's index plus 2, so neither 0 nor the root is ever a member.
    size_t index = data->DevInst - 2;
    if (data->DevInst < 2 || index >= M().devices.size()) {
        SetLastError(ERROR_NO_SUCH_DEVINST);
        return nullptr;
    }
    Device& device = M().devices[index];
    if (device.removed) {
        SetLastError(ERROR_NO_SUCH_DEVINST);
        return nullptr;
    }
    return &device;
}

} // namespace

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR Enumerator, HWND hwndParent, DWORD Flags) {
    Record("SetupDiGetClassDevsA", {Ptr(ClassGuid), Str(Enumerator), Ptr(hwndParent), Num(Flags)});
    if (Injected("SetupDiGetClassDevsA"))
        return INVALID_HANDLE_VALUE;
    std::vector<size_t> members;
    for (size_t i = 0; i < M().devices.size(); ++i) {
        const Device& device = M().devices[i];
        if (!device.removed && (device.present || !(Flags & DIGCF_PRESENT)))
            members.push_back(i);
    }
    HDEVINFO set = NewHandle("HDEVINFO");
    M().sets[set] = members;
    return set;
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex,
                                  PSP_DEVINFO_DATA DeviceInfoData) {
    Record("SetupDiEnumDeviceInfo", {Ptr(DeviceInfoSet), Num(MemberIndex),
                                     DeviceInfoData == nullptr ? "NULL" : Num(DeviceInfoData->cbSize)});
    if (Injected("SetupDiEnumDeviceInfo"))
        return FALSE;
    if (DeviceInfoData == nullptr) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    auto it = M().sets.find(DeviceInfoSet);
    if (it == M().sets.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    // Removed members keep their place: the set is never compacted.
    if (MemberIndex >= it->second.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    std::memset(&DeviceInfoData->ClassGuid, 0, sizeof(GUID));
    DeviceInfoData->DevInst = static_cast<DWORD>(it->second[MemberIndex] + 2);
    DeviceInfoData->Reserved = 0;
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                              DWORD Property, PDWORD PropertyRegDataType,
                                              PBYTE PropertyBuffer, DWORD PropertyBufferSize,
                                              PDWORD RequiredSize) {
    Record("SetupDiGetDeviceRegistryPropertyA",
           {Ptr(DeviceInfoSet), Num(Property), Ptr(PropertyRegDataType), Ptr(PropertyBuffer),
            Num(PropertyBufferSize), Ptr(RequiredSize)});
    const bool hardwareIds = Property == SPDRP_HARDWAREID;
    if (Injected(hardwareIds ? "SetupDiGetDeviceRegistryPropertyA.HardwareID"
                             : "SetupDiGetDeviceRegistryPropertyA.Driver"))
        return FALSE;
    Device* device = MemberDevice(DeviceInfoSet, DeviceInfoData);
    if (device == nullptr)
        return FALSE;
    if (Property != SPDRP_HARDWAREID && Property != SPDRP_DRIVER) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    if (hardwareIds && PropertyBuffer != nullptr && device->hardwareIdsLater) {
        device->hardwareIds = std::move(device->hardwareIdsLater);
        device->hardwareIdsLater.reset();
    }
    const std::optional<std::string>& value = hardwareIds ? device->hardwareIds : device->driver;
    if (!value) {
        SetLastError(ERROR_INVALID_DATA); // the value does not exist
        return FALSE;
    }
    std::string bytes = hardwareIds ? *value : *value + '\0';
    if (RequiredSize != nullptr)
        *RequiredSize = hardwareIds && device->hardwareIdsReportedSize ? *device->hardwareIdsReportedSize
                                                                       : static_cast<DWORD>(bytes.size());
    // An empty value: asked for more room, but no size worth growing to (as Wine answers).
    if (bytes.empty() || PropertyBuffer == nullptr || PropertyBufferSize < bytes.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(PropertyBuffer, bytes.data(), bytes.size());
    if (PropertyRegDataType != nullptr)
        *PropertyRegDataType = hardwareIds ? RegMultiSz : RegSz;
    return TRUE;
}

BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                      PSP_DEVINFO_DATA DeviceInfoData) {
    Record("SetupDiCallClassInstaller", {Num(InstallFunction), Ptr(DeviceInfoSet), Ptr(DeviceInfoData)});
    if (Injected("SetupDiCallClassInstaller"))
        return FALSE;
    Device* device = MemberDevice(DeviceInfoSet, DeviceInfoData);
    if (device == nullptr)
        return FALSE;
    if (InstallFunction == DIF_REMOVE)
        device->removed = true;
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    Record("SetupDiDestroyDeviceInfoList", {Ptr(DeviceInfoSet)});
    M().sets.erase(DeviceInfoSet);
    if (!CloseHandleOf(DeviceInfoSet, "HDEVINFO")) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

CONFIGRET WINAPI CM_Locate_DevNode_ExA(PDEVINST pdnDevInst, DEVINSTID_A pDeviceID, ULONG ulFlags,
                                       HMACHINE hMachine) {
    Record("CM_Locate_DevNode_ExA", {Ptr(pdnDevInst), Str(pDeviceID), Num(ulFlags), Ptr(hMachine)});
    if (Injected("CM_Locate_DevNode_ExA"))
        return M().lastError;
    if (!M().rootLocatable || pDeviceID != nullptr)
        return CR_NO_SUCH_DEVNODE;
    *pdnDevInst = RootDevInst;
    return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Reenumerate_DevNode_Ex(DEVINST dnDevInst, ULONG ulFlags, HMACHINE hMachine) {
    Record("CM_Reenumerate_DevNode_Ex", {Num(dnDevInst), Num(ulFlags), Ptr(hMachine)});
    if (Injected("CM_Reenumerate_DevNode_Ex"))
        return M().lastError;
    return M().reenumerateResult;
}
