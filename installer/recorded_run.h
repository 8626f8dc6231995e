// One run of our programs from the MSI, recorded: the setup program at install and when a removal rolls
// back, the uninstaller at removal and when an install rolls back.
#pragma once

#include <windows.h>

#include <msi.h>

enum RunKind { RunInstall, RunRemoval, RunRollback, RunRestage };

// Starts the program from the installed folder, records it and its process tree, puts the record's report
// into the MSI log and returns ERROR_SUCCESS, or ERROR_INSTALL_FAILURE for an install whose drivers did
// not arrive. A removal and both rollbacks never fail.
UINT RecordedRun(MSIHANDLE Install, RunKind Kind);
