// The way back: the uninstall run and the steps that take the package's traces out of the system again.
#pragma once

#include "win32/platform.h"

// The one word of the companion's command line that selects its uninstall mode.
extern const char UninstallWord[];

// The whole uninstall run. The result is the process exit code: 1 when the run got past its early
// steps, 0 when one of them failed.
int UninstallMain();

// The uninstall steps, in this process: every listed device node, then our INF files in the driver store
// (pSourceDir is the package half they are compared with), the co-installers left in place, and the
// device tree refresh. pSysDir is the system directory.
void UninstallSteps(const char* pSysDir, const char* pSourceDir);

// Removes every listed device node, attached or not, driver or none. Adds the listed nodes found to
// *pFound. Returns 1 when every node was looked at; 0 when the device set could not be obtained, a node
// was passed over or the walk ended early (each traced).
int RemoveListedDevices(DWORD* pFound);

// Takes every INF file of the driver store in the Windows folder above pSysDir that is a byte copy of
// one of the package's INF files in pSourceDir out of the store, without force. Adds the store files
// found to be ours to *pFound. Returns 1 when every store file was compared with all seven package INF
// files; 0 when the store was left alone or part of it could not be looked at (each traced).
int RemoveStoreInfs(const char* pSysDir, const char* pSourceDir, DWORD* pFound);

// 1 when the two files hold the same bytes, read in chunks; 0 when they differ; -1 when one of them
// cannot be read (traced). The caller has compared their sizes already.
int SameContent(const char* pPathA, const char* pPathB);

// Starts the companion from this program's folder with the uninstall word and waits until it has ended.
void StartUninstallCompanion();
