// The hand-off on 64-bit Windows: the setup program or the uninstaller starts its 64-bit companion, which
// does the steps that need the native system directory.
#pragma once

#include "reader/run_steps.h"
#include "reader/tool_messages.h"

#include <cstdint>
#include <string>

struct RunVerdict;

enum HandoffState {
    HandoffNotReached,
    HandoffBegun,       // "Setup for 64bit OS" or "Uninstall for 64bit OS"
    HandoffModuleNull,  // the module path buffer was null
    HandoffNoPath,      // the program's own path could not be read whole: nothing was started
    HandoffPathTooLong, // the companion's full path does not fit
    HandoffStarting,    // about to start the companion
    HandoffStartFailed, // the untagged "CreateProcess failed"
};

struct HandoffStep {
    HandoffState Handoff = HandoffNotReached;
    uint32_t ModulePathError = 0; // with HandoffNoPath
    std::string ModulePath;
    std::string CompanionPath;
    int CompanionProcess = -1; // index of the companion's process, -1 for none
};

// Applies a message of the hand-off; false when it does not fit.
bool ApplyHandoffMessage(HandoffStep* pStep, const MessageMatch& Match);

// The companion as the hand-off's line names it.
struct CompanionSeen {
    bool Ran; // its process is in the record
    bool HasPid;
    uint32_t Pid;
};

// The hand-off's line, step and problem; `pProgram` is the program that hands off.
void HandoffLines(const HandoffStep& S, const char* pProgram, const CompanionSeen& Companion,
                  RunVerdict* pVerdict, std::string* pOut);
