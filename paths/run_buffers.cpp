#include "paths/run_buffers.h"

#include "trace/trace.h"

int ReadSystemDir(char* pBuf) {
    // A length of MAX_PATH or more means the buffer was too small and holds no path.
    UINT Length = GetSystemDirectoryA(pBuf, MAX_PATH);
    return Length != 0 && Length < MAX_PATH;
}

char* GetSystemDir() {
    char* pSysDir = static_cast<char*>(malloc(MAX_PATH));
    if (pSysDir == NULL) {
        TraceMsg("Malloc for system dir failed!\n", 0, 0);
        return NULL;
    }
    if (!ReadSystemDir(pSysDir)) {
        TraceMsg("Get system dir failed!\n", 0, 0);
        free(pSysDir);
        return NULL;
    }
    TraceMsg("System path: %s", pSysDir, 0);
    return pSysDir;
}

char* AllocSourceDir() {
    char* pSourceDir = static_cast<char*>(malloc(MAX_PATH));
    if (pSourceDir == NULL) {
        TraceMsg("Malloc failed!\n", 0, 0);
        return NULL;
    }
    memset(pSourceDir, 0, MAX_PATH);
    return pSourceDir;
}

int OpenRunBuffers(char** ppSysDir, char** ppSourceDir) {
    *ppSourceDir = NULL;
    *ppSysDir = GetSystemDir();
    if (*ppSysDir == NULL)
        return 0;
    *ppSourceDir = AllocSourceDir();
    return *ppSourceDir != NULL;
}

void CloseRunBuffers(char* pSysDir, char* pSourceDir) {
    if (pSourceDir != NULL)
        free(pSourceDir);
    if (pSysDir != NULL)
        free(pSysDir);
}
