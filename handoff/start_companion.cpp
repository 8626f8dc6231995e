#include "handoff/handoff.h"

#include "paths/join_path.h"
#include "trace/trace.h"

const char CompanionName[] = "Fenwarr64.exe";

void StartCompanion() {
    TraceMsg("Setup for 64bit OS, line: %d", 1715, 0);
    RunCompanion(NULL);
}

namespace {

// Fills pFolder (MAX_PATH bytes, zero-filled) with the folder of the running program. Returns 1 when it
// holds the folder; 0, with the reason in *pError, when the path did not come whole: the call failed, or
// it filled the buffer (cut: Windows XP then sets no error and leaves it unterminated), or it names no
// folder.
int ReadModuleFolder(char* pFolder, DWORD* pError) {
    DWORD Length = GetModuleFileNameA(NULL, pFolder, MAX_PATH);
    if (Length == 0) {
        *pError = GetLastError();
        return 0;
    }
    if (Length >= MAX_PATH) {
        *pError = ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    if (!Transf2Path(pFolder)) {
        *pError = ERROR_BAD_PATHNAME;
        return 0;
    }
    return 1;
}

} // namespace

void RunCompanion(char* pCommand) {
    char ModulePath[MAX_PATH];
    char FullName[MAX_PATH];
    DWORD Error = 0;
    memset(ModulePath, 0, sizeof(ModulePath));
    memset(FullName, 0, sizeof(FullName));

    // The companion runs elevated: a path that did not come whole may name another folder's program.
    if (!ReadModuleFolder(ModulePath, &Error)) {
        TraceMsg("Module path failed, code is %d\n", Error, 0);
        return;
    }
    TraceMsg("Module path: [%s], line: %d", ModulePath, 1718);

    if (!JoinPath(FullName, ModulePath, CompanionName)) {
        TraceMsg("Setup64 full name too long, module path: [%s], line: %d", ModulePath, 1720);
        return;
    }
    TraceMsg("Setup64 full name: [%s], line: %d", FullName, 1720);
    OpenAP(FullName, NULL, pCommand, 1);
}
