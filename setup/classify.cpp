#include "setup/classify.h"

#include "trace/trace.h"

int Is64BitHost = 0;

const char InstallFolder32[] = "\\Program Files\\Zamtre_Driver";
const char InstallFolder64[] = "\\Program Files (x86)\\Zamtre_Driver";
const char SubFolder32[] = "\\fenwarr\\Win32";
const char SubFolder64[] = "\\fenwarr\\Win64";

namespace {

struct PlatformRow {
    DWORD dwMajor;
    DWORD dwMinor;
    const char* pLine32;
    const char* pLine64;
};

// First matching row wins; 5.2 (Server 2003, XP x64) counts as XP.
constexpr PlatformRow PlatformTable[] = {
    {5, 1, "Setup device for Windows XP32\n", "Setup device for Windows XP64\n"},
    {5, 2, "Setup device for Windows XP32\n", "Setup device for Windows XP64\n"},
    {6, 0, "Setup device for Windows Vista32\n", "Setup device for Windows Vista64\n"},
    {6, 1, "Setup device for Windows7 32\n", "Setup device for Windows7 64\n"},
};

constexpr PlatformRow OtherPlatform = {0, 0, "Setup device for Windows os is 32\n",
                                       "Setup device for Windows os is 64\n"};

const PlatformRow* FindPlatformRow(DWORD dwMajor, DWORD dwMinor) {
    for (const PlatformRow& Row : PlatformTable) {
        if (Row.dwMajor == dwMajor && Row.dwMinor == dwMinor)
            return &Row;
    }
    return NULL;
}

} // namespace

void ClassifyPlatform(DWORD dwMajor, DWORD dwMinor, const char** ppInstallFolder, const char** ppSubFolder) {
    const PlatformRow* pRow = FindPlatformRow(dwMajor, dwMinor);
    if (pRow == NULL) {
        TraceMsg("It is other OS, win2k or win8, do continue \n", 0, 0);
        pRow = &OtherPlatform;
    }

    // The version only picks the line; the WOW64 answer alone picks the folders.
    if (CheckWow64()) {
        TraceMsg(pRow->pLine64, 0, 0);
        Is64BitHost = 1;
        *ppInstallFolder = InstallFolder64;
        *ppSubFolder = SubFolder64;
    } else {
        TraceMsg(pRow->pLine32, 0, 0);
        *ppInstallFolder = InstallFolder32;
        *ppSubFolder = SubFolder32;
    }
}

int PickPackageHalf(const OSVERSIONINFOA* pVerInf, char Drive, char* pSourceDir, MachineRule Rule) {
    const char* pInstallFolder = NULL;
    const char* pSubFolder = NULL;
    TraceMsg("VerInf.dwMajorVersion: %d", pVerInf->dwMajorVersion, 0);
    TraceMsg("VerInf.dwMinorVersion: %d", pVerInf->dwMinorVersion, 0);
    if (!MachineHasHalf() && Rule == HalfRequired)
        return 0;
    ClassifyPlatform(pVerInf->dwMajorVersion, pVerInf->dwMinorVersion, &pInstallFolder, &pSubFolder);
    wsprintfA(pSourceDir, "%c:%s%s", Drive, pInstallFolder, pSubFolder);
    return 1;
}
