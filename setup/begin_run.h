// The start every run shares: the setup run's and the uninstaller's, and the companion's in both modes.
#pragma once

#include "setup/classify.h"

// Traces pStartMessage, reads the Windows version, opens the run's two buffers (paths/run_buffers.h)
// and writes the package half for this Windows into *ppSourceDir. Returns 1 when the run may go on;
// 0 after tracing which early step failed, or the processor the package has no half for (with
// HalfRequired). Either way the caller frees the buffers with CloseRunBuffers.
int BeginRun(const char* pStartMessage, MachineRule Rule, char** ppSysDir, char** ppSourceDir);

// The companion's start: traces pStartMessage, opens the two buffers and writes the package's 64-bit
// half into *ppSourceDir (the companion runs on 64-bit Windows only; no version is read). Checks the
// processor, returns and leaves the buffers as BeginRun does.
int BeginCompanionRun(const char* pStartMessage, MachineRule Rule, char** ppSysDir, char** ppSourceDir);
