// Device maintenance: the handset's hardware IDs, driverless node removal, device tree refresh.
#pragma once

#include "win32/platform.h"

enum { HardwareIdCount = 14 };

// The handset's USB hardware IDs, in the order they are tried.
extern const char* const HardwareIdTable[HardwareIdCount];

// 1 if pSubString occurs in pString, ASCII letters compared without case; 0 otherwise or for a null.
int StrContainsNoCase(const char* pString, const char* pSubString);

// 1 if the hardware ID contains an entry of HardwareIdTable.
int MatchesHardwareIdTable(const char* pHardwareId);

// What the walk does with one listed member; pFirstId is the first string of its hardware-ID list.
typedef void (*ListedMemberFn)(HDEVINFO hDevInfo, SP_DEVINFO_DATA* pDevInfoData, const char* pFirstId);

// Whether the walk tells of a member it passes over and of an end before the last member. The setup
// road's trace is fixed and tells of neither; the uninstall road's does.
enum WalkTelling { WalkSilent, WalkTraced };

// How a walk went.
struct DeviceWalk {
    DWORD Listed;  // listed members handed to the member routine
    DWORD Skipped; // members whose hardware IDs could not be read; each is passed over, the walk goes on
    int Complete;  // 1 when the enumeration reached its end (ERROR_NO_MORE_ITEMS), 0 when an error cut it
};

// Walks every device node of every class, attached or not, and hands each one whose hardware-ID list
// matches the table to pHandleMember. Fills *pWalk. Returns 0 only when the device set cannot be obtained
// (nothing traced, the last error is the platform's).
int WalkListedDevices(ListedMemberFn pHandleMember, WalkTelling Telling, DeviceWalk* pWalk);

// Removes every listed device node, attached or not, that has no driver. Returns 0 only when the
// device set cannot be obtained.
int RemoveDriverlessDevices();

// Asks Plug and Play to enumerate the device tree again from its root.
void RefreshDevNode();
