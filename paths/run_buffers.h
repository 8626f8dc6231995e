// The two path buffers a run starts with; the caller frees each with free().
#pragma once

// Fills pBuf (MAX_PATH bytes) with the system directory. Returns 1 when it holds the path; 0 when the
// call failed or the path did not fit.
int ReadSystemDir(char* pBuf);

// A MAX_PATH heap buffer holding the system directory, traced; null after tracing what failed.
char* GetSystemDir();

// A zero-filled MAX_PATH heap buffer for the source directory; null after tracing the failure.
char* AllocSourceDir();

// Both buffers of a run, the system directory first. Returns 1 when both are there; 0 after tracing
// what failed, with each pointer holding what was had (null or a buffer): CloseRunBuffers frees it.
int OpenRunBuffers(char** ppSysDir, char** ppSourceDir);

// Frees what OpenRunBuffers gave; either may be null.
void CloseRunBuffers(char* pSysDir, char* pSourceDir);
