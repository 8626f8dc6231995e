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

// Walks every device node of every class, attached or not, and hands each one whose hardware-ID list
// matches the table to pHandleMember, adding one to *pListed for it. Returns 0 only when the device set
// cannot be obtained.
int WalkListedDevices(ListedMemberFn pHandleMember, DWORD* pListed);

// Removes every listed device node, attached or not, that has no driver. Returns 0 only when the
// device set cannot be obtained.
int RemoveDriverlessDevices();

// Asks Plug and Play to enumerate the device tree again from its root.
void RefreshDevNode();
