#include "handoff/handoff.h"

#include "paths/join_path.h"
#include "trace/trace.h"

const char CompanionName[] = "Fenwarr64.exe";

void StartCompanion() {
    TraceMsg("Setup for 64bit OS, line: %d", 1715, 0);
    RunCompanion(NULL);
}

void RunCompanion(char* pCommand) {
    char ModulePath[MAX_PATH];
    char FullName[MAX_PATH];
    memset(ModulePath, 0, sizeof(ModulePath));
    memset(FullName, 0, sizeof(FullName));

    GetModuleFileNameA(NULL, ModulePath, MAX_PATH);
    // Windows XP leaves a truncated path unterminated.
    ModulePath[MAX_PATH - 1] = '\0';
    Transf2Path(ModulePath);
    TraceMsg("Module path: [%s], line: %d", ModulePath, 1718);

    if (!JoinPath(FullName, ModulePath, CompanionName)) {
        TraceMsg("Setup64 full name too long, module path: [%s], line: %d", ModulePath, 1720);
        return;
    }
    TraceMsg("Setup64 full name: [%s], line: %d", FullName, 1720);
    OpenAP(FullName, NULL, pCommand, 1);
}
