// The start every 32-bit run shares, the setup run's and the uninstaller's.
#pragma once

// Traces pStartMessage, reads the Windows version, opens the run's two buffers (paths/run_buffers.h)
// and writes the package half for this Windows into *ppSourceDir. Returns 1 when the run may go on;
// 0 after tracing which early step failed. Either way the caller frees the buffers with
// CloseRunBuffers.
int BeginRun(const char* pStartMessage, char** ppSysDir, char** ppSourceDir);
