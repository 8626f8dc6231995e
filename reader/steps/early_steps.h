// The early steps of every program: the Windows version, the system directory, the platform line that
// chooses the road, and a processor without a package half.
#pragma once

#include "reader/run_steps.h"
#include "reader/tool_messages.h"

#include <cstdint>
#include <string>

struct RunVerdict;

struct EarlySteps {
    bool Uninstalling = false;        // the program takes the package out: it goes on without a half
    MessageId EarlyFailure = MsgNone; // the early step's failure message (MsgNoHalf: a setup run's stop)
    std::string SysPath;
    bool HasMajor = false;
    bool HasMinor = false;
    uint32_t Major = 0;
    uint32_t Minor = 0;
    bool OtherOs = false;
    std::string PlatformLine; // as traced, without its line end
    int Bits = 0;             // 32 or 64 from the platform line, 0 when not traced
    bool NoHalf = false;      // the processor has no package half: Machine names it
    uint32_t Machine = 0;
};

// Applies a message of the early steps; false when it does not fit them.
bool ApplyEarlyMessage(EarlySteps* pStep, const MessageMatch& Match);

// The processor without a package half: a setup run's stop, an uninstall run's note.
void MachineLine(const EarlySteps& P, Speaker Who, std::string* pOut);
// The early steps' lines: an early failure ends the process's part of the run (false).
bool EarlyLines(const EarlySteps& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut);
// The road the starting program took. False when the record does not reach it.
bool RoadLine(const EarlySteps& S, RunVerdict* pVerdict, std::string* pOut);
