// The two path buffers a run starts with; the caller frees each with free().
#pragma once

// A MAX_PATH heap buffer holding the system directory, traced; null after tracing what failed.
char* GetSystemDir();

// A zero-filled MAX_PATH heap buffer for the source directory; null after tracing the failure.
char* AllocSourceDir();
