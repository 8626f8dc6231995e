// The two path buffers a run starts with; the caller frees each with free().
#pragma once

// Fills pBuf (MAX_PATH bytes) with the system directory. Returns 1 when it holds the path; 0 when the
// call failed or the path did not fit.
int ReadSystemDir(char* pBuf);

// A MAX_PATH heap buffer holding the system directory, traced; null after tracing what failed.
char* GetSystemDir();

// A zero-filled MAX_PATH heap buffer for the source directory; null after tracing the failure.
char* AllocSourceDir();
