// The one seam between the system and the platform.
//
// On Windows this is the SDK. On the build host it declares the small set of types, constants and
// calls the system uses, with the SDK's names and values, and the simulated platform implements them.
#pragma once

#ifdef _WIN32
// Lean: the full set pulls in C++ library headers, and with them a statically linked stdio.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#else
#include "win32/host_platform.h"
#endif

// The record sizes the system's 32-bit build relies on.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA is 148 bytes");
static_assert(sizeof(SP_DEVINFO_DATA) == 28, "SP_DEVINFO_DATA is 28 bytes in a 32-bit process");
static_assert(sizeof(STARTUPINFOA) == 68, "STARTUPINFOA is 68 bytes in a 32-bit process");
#endif
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA has no pointers: 148 bytes everywhere");
static_assert(sizeof(DWORD) == 4, "DWORD is 32 bits");

typedef BOOL(WINAPI* IsWow64ProcessFn)(HANDLE, PBOOL);
// Windows 10 version 1511 and later: the process's machine and the one Windows runs on natively.
typedef BOOL(WINAPI* IsWow64Process2Fn)(HANDLE, USHORT*, USHORT*);
typedef BOOL(WINAPI* SetupUninstallOEMInfFn)(PCSTR, DWORD, PVOID);
