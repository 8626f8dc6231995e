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

// Whether a run may go on where the package has no half for the processor: the setup runs change
// nothing there, the uninstall runs take away what is ours on any machine.
enum MachineRule { HalfRequired, AnyMachine };

// Nonzero when this 32-bit process runs under WOW64 on 64-bit Windows.
int CheckWow64();

// The processor Windows runs on (IMAGE_FILE_MACHINE_*), from IsWow64Process2; IMAGE_FILE_MACHINE_UNKNOWN
// where Windows has no such call (before Windows 10 version 1511) or it fails. Traces nothing.
USHORT NativeMachine();

// 1 when the package has a half for the processor: x86, x64, or one Windows does not name. Otherwise
// traces the machine line and returns 0.
int MachineHasHalf();

// Traces the platform line(s) for the version, asks CheckWow64 once, sets Is64BitHost on a 64-bit
// host and yields the install folder and platform sub-folder (both constants, each with a leading
// backslash and no drive).
void ClassifyPlatform(DWORD dwMajor, DWORD dwMinor, const char** ppInstallFolder, const char** ppSubFolder);

// Traces the version numbers, checks the processor, classifies the platform and writes the package
// half's folder on drive Drive into pSourceDir (MAX_PATH bytes; the folder is always far shorter).
// Returns 0, with nothing classified, on a processor without a half when Rule is HalfRequired.
int PickPackageHalf(const OSVERSIONINFOA* pVerInf, char Drive, char* pSourceDir, MachineRule Rule);
