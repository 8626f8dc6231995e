// Device maintenance: the handset's hardware IDs, driverless node removal, device tree refresh.
#pragma once

enum { HardwareIdCount = 14 };

// The handset's USB hardware IDs, in the order they are tried.
extern const char* const HardwareIdTable[HardwareIdCount];

// 1 if pSubString occurs in pString, ASCII letters compared without case; 0 otherwise or for a null.
int StrContainsNoCase(const char* pString, const char* pSubString);

// 1 if the hardware ID contains an entry of HardwareIdTable.
int MatchesHardwareIdTable(const char* pHardwareId);

// Removes every listed device node, attached or not, that has no driver. Returns 0 only when the
// device set cannot be obtained.
int RemoveDriverlessDevices();

// Asks Plug and Play to enumerate the device tree again from its root.
void RefreshDevNode();
