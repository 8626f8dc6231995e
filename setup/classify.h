// Platform classification: which half of the driver package this Windows needs.
#pragma once

#include "win32/platform.h"

// Where each half of the driver package lies on the system drive.
extern const char InstallFolder32[];
extern const char InstallFolder64[];
extern const char SubFolder32[];
extern const char SubFolder64[];

// 1 once the run has found itself on 64-bit Windows; never reset.
extern int Is64BitHost;

// Nonzero when this 32-bit process runs under WOW64 on 64-bit Windows.
int CheckWow64();

// Traces the platform line(s) for the version, asks CheckWow64 once, sets Is64BitHost on a 64-bit
// host and yields the install folder and platform sub-folder (both constants, each with a leading
// backslash and no drive).
void ClassifyPlatform(DWORD dwMajor, DWORD dwMinor, const char** ppInstallFolder, const char** ppSubFolder);

// Traces the version numbers, classifies the platform and writes the package half's folder on drive
// Drive into pSourceDir (MAX_PATH bytes; the folder is always far shorter).
void PickPackageHalf(const OSVERSIONINFOA* pVerInf, char Drive, char* pSourceDir);
