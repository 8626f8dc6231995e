// The walk over every device node that finds the handset's: the hardware-ID fetch loop and the match.
#include "devices/devices.h"

#include "trace/trace.h"

namespace {

// Every hardware-ID block carries this many zero bytes behind what the platform may fill, so each
// string of even a malformed list (one without its terminators) ends inside the block.
enum { ListGuardBytes = 2 };

// FetchNoList: the member has no hardware-ID list, or an empty one: nothing to look at. FetchNoMemory and
// FetchFailed: the list is there but could not be read; the member is passed over.
enum FetchOutcome { FetchDone, FetchNoList, FetchNoMemory, FetchFailed };

// Fetches the member's hardware-ID list into a fresh block, growing it as the platform asks.
// FetchDone: *ppList holds the list (null if the platform answered without ever asking for a block)
// and *pSize the bytes returned. FetchFailed: *pError holds the platform's error. FetchNoMemory: the block
// could not be had, traced here. No block is left behind except in *ppList on FetchDone.
FetchOutcome FetchHardwareIds(HDEVINFO hDevInfo, SP_DEVINFO_DATA* pDevInfoData, PBYTE* ppList, DWORD* pSize,
                              DWORD* pError) {
    PBYTE pList = NULL;
    DWORD Size = 0;
    DWORD Allocated = 0;
    for (;;) {
        if (SetupDiGetDeviceRegistryPropertyA(hDevInfo, pDevInfoData, SPDRP_HARDWAREID, NULL, pList, Size,
                                              &Size)) {
            *ppList = pList;
            *pSize = Size < Allocated ? Size : Allocated;
            return FetchDone;
        }
        DWORD Error = GetLastError();
        if (pList != NULL) {
            LocalFree(pList);
            pList = NULL;
        }
        *pError = Error;
        if (Error == ERROR_INVALID_DATA)
            return FetchNoList;
        if (Error != ERROR_INSUFFICIENT_BUFFER)
            return FetchFailed; // e.g. a node unplugged since the enumeration: the others still count
        // An empty value: asked for more room, but for none at all.
        if (Allocated == 0 && Size == 0)
            return FetchNoList;
        // Asked again without wanting more than it was given: growing cannot help.
        if (Size <= Allocated || Size > 0xFFFFFFFFu - ListGuardBytes)
            return FetchFailed;
        pList = static_cast<PBYTE>(LocalAlloc(LPTR, Size + ListGuardBytes));
        if (pList == NULL) {
            TraceMsg("Malloc failed\n", 0, 0);
            return FetchNoMemory;
        }
        Allocated = Size;
    }
}

// True when one string of the list matches the table. Strings are visited while they start inside
// the returned data and are not empty.
bool ListMatchesTable(const char* pList, DWORD Size) {
    const char* pEnd = pList + Size;
    for (const char* pId = pList; pId < pEnd && *pId != '\0'; pId += lstrlenA(pId) + 1) {
        if (MatchesHardwareIdTable(pId))
            return true;
    }
    return false;
}

// Looks at one member: hands it on when it is listed, counts it when it cannot be looked at.
void VisitMember(HDEVINFO hDevInfo, SP_DEVINFO_DATA* pDevInfoData, ListedMemberFn pHandleMember,
                 WalkTelling Telling, DeviceWalk* pWalk) {
    PBYTE pList = NULL;
    DWORD Size = 0;
    DWORD Error = 0;
    FetchOutcome Outcome = FetchHardwareIds(hDevInfo, pDevInfoData, &pList, &Size, &Error);
    if (Outcome == FetchNoMemory || Outcome == FetchFailed) {
        ++pWalk->Skipped;
        // A failed block has its own message already.
        if (Telling == WalkTraced && Outcome == FetchFailed)
            TraceMsg("Device skipped, code is %d\n", Error, 0);
        return;
    }
    if (Outcome == FetchNoList || pList == NULL)
        return;
    const char* pIds = reinterpret_cast<const char*>(pList);
    if (ListMatchesTable(pIds, Size)) {
        ++pWalk->Listed;
        pHandleMember(hDevInfo, pDevInfoData, pIds);
    }
    LocalFree(pList);
}

} // namespace

int WalkListedDevices(ListedMemberFn pHandleMember, WalkTelling Telling, DeviceWalk* pWalk) {
    pWalk->Listed = 0;
    pWalk->Skipped = 0;
    pWalk->Complete = 0;
    // Every node of every class, attached or not: ghosts are exactly the ones not present.
    HDEVINFO hDevInfo = SetupDiGetClassDevsA(NULL, NULL, NULL, DIGCF_ALLCLASSES);
    if (hDevInfo == INVALID_HANDLE_VALUE) // NOLINT(performance-no-int-to-ptr): the platform's own constant
        return 0;

    SP_DEVINFO_DATA DevInfoData;
    memset(&DevInfoData, 0, sizeof(DevInfoData));
    DevInfoData.cbSize = sizeof(SP_DEVINFO_DATA);
    // A removed member stays in the set, so the index simply goes on.
    DWORD MemberIndex = 0;
    while (SetupDiEnumDeviceInfo(hDevInfo, MemberIndex, &DevInfoData)) {
        VisitMember(hDevInfo, &DevInfoData, pHandleMember, Telling, pWalk);
        ++MemberIndex;
    }
    // Only the end of the list makes the walk whole; any other error leaves the rest unseen.
    DWORD Error = GetLastError();
    pWalk->Complete = Error == ERROR_NO_MORE_ITEMS;
    if (!pWalk->Complete && Telling == WalkTraced)
        TraceMsg("Device walk ended early, code is %d\n", Error, 0);
    SetupDiDestroyDeviceInfoList(hDevInfo);
    return 1;
}
