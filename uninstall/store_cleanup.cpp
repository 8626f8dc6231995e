#include "uninstall/uninstall.h"

#include "deploy/deploy.h"
#include "handoff/handoff.h"
#include "paths/join_path.h"
#include "trace/trace.h"

namespace {

// One of the package's INF files as the store's files are compared with it.
struct PackageInf {
    int Present; // 0: missing from the package, nothing is compared with it
    DWORD SizeHigh;
    DWORD SizeLow;
    char Path[MAX_PATH];
};

// Looked up at run time: Windows 2000's setupapi has none, and an import would keep the program from
// starting there. setupapi is loaded already, for the device calls.
SetupUninstallOEMInfFn FindSetupUninstallOEMInf() {
    FARPROC pProc = NULL;
    HMODULE hSetupApi = GetModuleHandleA("setupapi");
    if (hSetupApi != NULL)
        pProc = GetProcAddress(hSetupApi, "SetupUninstallOEMInfA");
    if (pProc == NULL) {
        DWORD Error = GetLastError();
        TraceMsg("SetupUninstallOEMInf not found, code is %d, driver store left alone\n", Error, 0);
        return NULL;
    }
    return reinterpret_cast<SetupUninstallOEMInfFn>(reinterpret_cast<void*>(pProc));
}

// Fills one entry per package INF with its path and size; a missing one is traced and left out.
// Returns how many are there.
int ReadPackageInfs(const char* pSourceDir, PackageInf* pInfs) {
    int Count = 0;
    WIN32_FIND_DATAA FindData;
    for (int i = 0; i < InfCount; ++i) {
        PackageInf* pInf = &pInfs[i];
        pInf->Present = 0;
        if (!JoinPath(pInf->Path, pSourceDir, InfList[i])) {
            TraceMsg("Package INF name too long: %s\\%s\n", pSourceDir, InfList[i]);
            continue;
        }
        HANDLE hFind = FindFirstFileA(pInf->Path, &FindData);
        if (hFind == INVALID_HANDLE_VALUE) { // NOLINT(performance-no-int-to-ptr): the platform's own constant
            DWORD Error = GetLastError();
            TraceMsg("Package INF not found, code is %d, %s\n", Error, pInf->Path);
            continue;
        }
        FindClose(hFind);
        pInf->Present = 1;
        pInf->SizeHigh = FindData.nFileSizeHigh;
        pInf->SizeLow = FindData.nFileSizeLow;
        ++Count;
    }
    return Count;
}

// 1 when the store file is a byte copy of one of the package's INF files, 0 when it is none, -1 when a
// comparison could not be made. The sizes come first, so a store full of other INF files costs one
// comparison of numbers each. What cannot be read cannot be shown to be ours: the first failed
// comparison ends the search.
int IsPackageCopy(const char* pStorePath, const WIN32_FIND_DATAA* pFindData, const PackageInf* pInfs) {
    for (int i = 0; i < InfCount; ++i) {
        const PackageInf* pInf = &pInfs[i];
        if (!pInf->Present || pInf->SizeHigh != pFindData->nFileSizeHigh ||
            pInf->SizeLow != pFindData->nFileSizeLow)
            continue;
        int Same = SameContent(pStorePath, pInf->Path);
        if (Same != 0)
            return Same;
    }
    return 0;
}

// Takes one file of the store out when it is ours. The name, not the content, is what other vendors may
// share with us, so only the content decides. Returns 1 when the file was looked at, 0 when it could not
// be named or compared (traced).
int CheckStoreFile(SetupUninstallOEMInfFn pUninstall, const char* pInfDir, const WIN32_FIND_DATAA* pFindData,
                   const PackageInf* pInfs, DWORD* pFound) {
    char StorePath[MAX_PATH];
    if (pFindData->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return 1;
    if (!JoinPath(StorePath, pInfDir, pFindData->cFileName)) {
        TraceMsg("Store file name too long: %s\\%s\n", pInfDir, pFindData->cFileName);
        return 0;
    }
    int Copy = IsPackageCopy(StorePath, pFindData, pInfs);
    if (Copy != 1)
        return Copy == 0;
    ++*pFound;
    TraceMsg("Store file: %s\n", StorePath, 0);
    // No force: Windows keeps a package that a device still uses.
    if (!pUninstall(pFindData->cFileName, 0, NULL)) {
        DWORD Error = GetLastError();
        TraceMsg("SetupUninstallOEMInf failed, error code: 0x%x\n", Error, 0);
        return 1;
    }
    TraceMsg("SetupUninstallOEMInf success, %s\n", pFindData->cFileName, 0);
    return 1;
}

} // namespace

int RemoveStoreInfs(const char* pSysDir, const char* pSourceDir, DWORD* pFound) {
    int Result = 0;
    HANDLE hFind = INVALID_HANDLE_VALUE; // NOLINT(performance-no-int-to-ptr): the platform's own constant
    SetupUninstallOEMInfFn pUninstall = NULL;
    PackageInf Infs[InfCount];
    char WinDir[MAX_PATH];
    char InfDir[MAX_PATH];
    char Pattern[MAX_PATH];
    WIN32_FIND_DATAA FindData;
    DWORD Error = 0;
    int PackageInfsRead = 0;
    DWORD FilesPassedOver = 0;

    pUninstall = FindSetupUninstallOEMInf();
    if (pUninstall == NULL)
        goto Cleanup;
    PackageInfsRead = ReadPackageInfs(pSourceDir, Infs);
    if (PackageInfsRead == 0) {
        TraceMsg("No package INF to compare with, driver store left alone\n", 0, 0);
        goto Cleanup;
    }

    // The system directory is <Windows folder>\system32 on every Windows; the store is <Windows folder>\inf.
    // Windows names its copies oemN.inf but Wine keeps the original name, so every INF file is looked at.
    memcpy(WinDir, pSysDir, strnlen(pSysDir, MAX_PATH - 1) + 1);
    WinDir[MAX_PATH - 1] = '\0';
    if (!Transf2Path(WinDir) || !JoinPath(InfDir, WinDir, "inf") || !JoinPath(Pattern, InfDir, "*.inf")) {
        TraceMsg("Driver store path failed, system path: %s\n", pSysDir, 0);
        goto Cleanup;
    }
    hFind = FindFirstFileA(Pattern, &FindData);
    if (hFind == INVALID_HANDLE_VALUE) { // NOLINT(performance-no-int-to-ptr)
        Error = GetLastError();
        TraceMsg("FindFirstFile failed, code is %d, %s\n", Error, Pattern);
        goto Cleanup;
    }
    do {
        if (!CheckStoreFile(pUninstall, InfDir, &FindData, Infs, pFound))
            ++FilesPassedOver;
    } while (FindNextFileA(hFind, &FindData));
    Error = GetLastError();
    if (Error != ERROR_NO_MORE_FILES) {
        TraceMsg("FindNextFile failed, code is %d\n", Error, 0);
        goto Cleanup;
    }
    // A copy of a missing package INF, or one among the files passed over, would go unseen.
    Result = PackageInfsRead == InfCount && FilesPassedOver == 0;

Cleanup:
    if (hFind != INVALID_HANDLE_VALUE) // NOLINT(performance-no-int-to-ptr)
        FindClose(hFind);
    return Result;
}
