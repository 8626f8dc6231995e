// One run of our programs from the MSI, recorded: the setup program at install, the uninstaller at removal
// and when an install rolls back.
#pragma once

#include <windows.h>

#include <msi.h>

enum RunKind { RunInstall, RunRemoval, RunRollback };

// Starts the program from the installed folder, records it and its process tree, puts the record's report
// into the MSI log and returns ERROR_SUCCESS, or ERROR_INSTALL_FAILURE for an install whose drivers did
// not arrive. A removal and a rollback never fail.
UINT RecordedRun(MSIHANDLE Install, RunKind Kind);
