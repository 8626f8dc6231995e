// FenwarrAction.dll: the MSI's custom actions. Each is deferred and runs without impersonation (as SYSTEM
// on Windows), reads its CustomActionData and runs one of our programs, recorded (recorded_run.h).
#include "installer/recorded_run.h"

// At install, after the files are in place: the setup program. Fails the install when the drivers did
// not arrive.
extern "C" UINT __stdcall RunSetup(MSIHANDLE Install) {
    return RecordedRun(Install, RunInstall);
}

// At removal, before the files go: the uninstaller. Never fails.
extern "C" UINT __stdcall RunUninstall(MSIHANDLE Install) {
    return RecordedRun(Install, RunRemoval);
}

// The rollback of RunSetup, scheduled right before it: when an install rolls back after the setup
// program started, the uninstaller takes the staged INF files out again. Never fails.
extern "C" UINT __stdcall RollbackSetup(MSIHANDLE Install) {
    return RecordedRun(Install, RunRollback);
}

// The rollback of RunUninstall, scheduled right before it: when a removal rolls back (a newer version's
// failed upgrade among them), the setup program stages the drivers again once the files are back. Never
// fails.
extern "C" UINT __stdcall RollbackUninstall(MSIHANDLE Install) {
    return RecordedRun(Install, RunRestage);
}
