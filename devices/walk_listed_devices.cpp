// The walk over every device node that finds the handset's: the hardware-ID fetch loop and the match.
#include "devices/devices.h"

#include "trace/trace.h"

namespace {

// Every hardware-ID block carries this many zero bytes behind what the platform may fill, so each
// string of even a malformed list (one without its terminators) ends inside the block.
enum { ListGuardBytes = 2 };

enum FetchOutcome { FetchDone, FetchSkipMember, FetchEndWalk };

// Fetches the member's hardware-ID list into a fresh block, growing it as the platform asks.
// FetchDone: *ppList holds the list (null if the platform answered without ever asking for a block)
// and *pSize the bytes returned. FetchSkipMember: nothing to look at for this member. FetchEndWalk: an
// unexpected error. No block is left behind except in *ppList on FetchDone.
FetchOutcome FetchHardwareIds(HDEVINFO hDevInfo, SP_DEVINFO_DATA* pDevInfoData, PBYTE* ppList, DWORD* pSize) {
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
        if (Error == ERROR_INVALID_DATA)
            return FetchSkipMember; // no hardware-ID list
        if (Error != ERROR_INSUFFICIENT_BUFFER)
            return FetchEndWalk;
        // Asked again without wanting more than it was given: growing cannot help.
        if (Size <= Allocated || Size > 0xFFFFFFFFu - ListGuardBytes)
            return FetchSkipMember;
        pList = static_cast<PBYTE>(LocalAlloc(LPTR, Size + ListGuardBytes));
        if (pList == NULL) {
            TraceMsg("Malloc failed\n", 0, 0);
            return FetchSkipMember;
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

} // namespace

int WalkListedDevices(ListedMemberFn pHandleMember, DWORD* pListed) {
    // Every node of every class, attached or not: ghosts are exactly the ones not present.
    HDEVINFO hDevInfo = SetupDiGetClassDevsA(NULL, NULL, NULL, DIGCF_ALLCLASSES);
    if (hDevInfo == INVALID_HANDLE_VALUE) // NOLINT(performance-no-int-to-ptr): the platform's own constant
        return 0;

    SP_DEVINFO_DATA DevInfoData;
    memset(&DevInfoData, 0, sizeof(DevInfoData));
    DevInfoData.cbSize = sizeof(SP_DEVINFO_DATA);
    // A removed member stays in the set, so the index simply goes on.
    for (DWORD MemberIndex = 0; SetupDiEnumDeviceInfo(hDevInfo, MemberIndex, &DevInfoData); ++MemberIndex) {
        PBYTE pList = NULL;
        DWORD Size = 0;
        FetchOutcome Outcome = FetchHardwareIds(hDevInfo, &DevInfoData, &pList, &Size);
        if (Outcome == FetchEndWalk)
            break;
        if (Outcome == FetchSkipMember || pList == NULL)
            continue;
        const char* pIds = reinterpret_cast<const char*>(pList);
        if (ListMatchesTable(pIds, Size)) {
            ++*pListed;
            pHandleMember(hDevInfo, &DevInfoData, pIds);
        }
        LocalFree(pList);
    }
    SetupDiDestroyDeviceInfoList(hDevInfo);
    return 1;
}
