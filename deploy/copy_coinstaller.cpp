#include "deploy/deploy.h"

#include "paths/join_path.h"
#include "paths/run_buffers.h"
#include "trace/trace.h"

int CopyCoInstaller(const char* pDir, const char* pFileName) {
    int Result = 0;
    char* pExistingFileName = NULL;
    char* pSysPath = NULL;
    char* pNewFileName = NULL;

    pExistingFileName = static_cast<char*>(malloc(MAX_PATH));
    if (pExistingFileName == NULL) {
        TraceMsg("Malloc for pExistingFileName failed!\n", 0, 0);
        goto Cleanup;
    }
    if (!JoinPath(pExistingFileName, pDir, pFileName)) {
        TraceMsg("ExistingFileName too long: %s\\%s\n", pDir, pFileName);
        goto Cleanup;
    }
    TraceMsg("ExistingFileName: %s\n", pExistingFileName, 0);

    pSysPath = static_cast<char*>(malloc(MAX_PATH));
    if (pSysPath == NULL) {
        TraceMsg("Malloc for pSysPath failed!\n", 0, 0);
        goto Cleanup;
    }
    if (!ReadSystemDir(pSysPath)) {
        TraceMsg("Get system path failed!\n", 0, 0);
        goto Cleanup;
    }

    pNewFileName = static_cast<char*>(malloc(MAX_PATH));
    if (pNewFileName == NULL) {
        TraceMsg("Malloc for pNewFileName failed!\n", 0, 0);
        goto Cleanup;
    }
    if (!JoinPath(pNewFileName, pSysPath, pFileName)) {
        TraceMsg("NewFileName too long: %s\\%s\n", pSysPath, pFileName);
        goto Cleanup;
    }
    TraceMsg("NewFileName: %s\n", pNewFileName, 0);

    if (!CopyFileA(pExistingFileName, pNewFileName, FALSE)) {
        DWORD Error = GetLastError();
        TraceMsg("CopyFile failed!, code is %d \n", Error, 0);
        goto Cleanup;
    }
    Result = 1;

Cleanup:
    if (pExistingFileName != NULL)
        free(pExistingFileName);
    if (pSysPath != NULL)
        free(pSysPath);
    if (pNewFileName != NULL)
        free(pNewFileName);
    return Result;
}
