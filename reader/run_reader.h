// Reads a dbgmon record file (or a DebugView log) and assembles what the tool's programs did: each program's
// messages (the tag record, then the message record of the same process), grouped into runs. A run starts at
// the first message of the setup program or of the uninstaller; the companion joins the run of the same kind
// whose hand-off it follows.
#pragma once

#include "reader/record/debugview_line.h"
#include "reader/record/record.h"
#include "reader/record/record_header.h"
#include "reader/steps/coinstaller_copy.h"
#include "reader/steps/device_walk.h"
#include "reader/steps/early_steps.h"
#include "reader/steps/handoff.h"
#include "reader/steps/inf_staging.h"
#include "reader/steps/package_files.h"
#include "reader/steps/step_values.h"
#include "reader/steps/store_cleanup.h"
#include "reader/tool_messages.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// Beyond these, processes are counted but not kept one by one.
// MaxSenders bounds the reader's memory on a record of any number of process ids, as MaxProcesses does
// for the programs read.
enum { MaxProcesses = 1000, MaxSenders = 10000, ExamplesKept = 3 };

// One program's part of a run: its identity, then each step's own state, then what it sent that the
// reader could not place. Its step routines each take their own part.
struct ProcessState : EarlySteps, CopyStep, InfStep, WalkStep, HandoffStep, StoreStep {
    ProgramRole Role = RoleNone;
    bool HasPid = false; // false when read from a DebugView log without process ids
    uint32_t Pid = 0;
    size_t FirstLine = 0;
    bool HasTime = false;
    uint64_t FirstMs = 0;
    uint64_t LastMs = 0;
    size_t Messages = 0;

    size_t UnknownMessages = 0;
    std::vector<std::string> UnknownExamples;
    size_t UntaggedStrings = 0; // untagged strings other than the tool's own
    std::vector<std::string> UntaggedExamples;
    size_t CutMessages = 0; // messages that lost their end at the formatter's limit
};

struct Run {
    int Starter;   // the setup program's or the uninstaller's process index, -1 for a companion alone
    int Companion; // process index, -1 for none
    bool Uninstall;
};

// Per process id: the process it belongs to now, and whether its last record was the tag. The strings of
// a DebugView log without process ids share one slot: read as one process.
constexpr uint64_t NoPidSlot = 1ull << 32; // beyond every process id
struct PidSlot {
    int Process;
    bool TagPending;
    bool Foreign; // sent strings that are not the tool's
};

// What the reader counts of a file as a whole: it starts over with each file.
struct ReportTally {
    RecordFormat Format = FormatUnknown;
    size_t Lines = 0;     // header lines included: a line number is the file's
    bool InHeader = true; // no line but header lines yet
    size_t HeaderLines = 0;
    size_t Records = 0;
    size_t ToolMessages = 0;
    bool LastLineCut = false; // the last record had no line end

    size_t BadLines = 0;
    size_t BadByStatus[RecordStatusCount] = {};
    size_t ForeignStrings = 0;
    size_t ForeignProcesses = 0;
    size_t UnknownSenderStrings = 0; // without a process id and not the tool's

    // A DebugView log: its time column, and how its strings came.
    DebugViewTime ViewTime = TimeElapsed; // as the first line has it
    bool ViewClockMs = false;             // some time of day with milliseconds
    size_t ViewPidLines = 0;              // lines with a process id
    size_t ViewJoinedLines = 0;           // lines holding more than one string
    size_t NoPidTags = 0; // the tool's tags without a process id: its programs read as one process
    bool Utf16 = false;   // the file starts with a UTF-16 byte order mark

    size_t StrayMessages = 0;        // tagged messages of a process in no run
    size_t LoneTags = 0;             // tags without their message
    size_t DroppedProcesses = 0;     // beyond MaxProcesses
    size_t DroppedSenderStrings = 0; // of process ids first seen beyond MaxSenders
};

// The tally, what the header says, the first few examples of each kind the tally counts, and the runs.
struct ReportState : ReportTally {
    MachineFacts Machine;
    std::vector<std::string> BadExamples;
    std::vector<std::string> ForeignExamples;
    std::vector<std::string> UnknownSenderExamples;
    std::vector<std::string> StrayExamples;

    std::vector<ProcessState> Processes;
    std::vector<Run> Runs;
    std::unordered_map<uint64_t, PidSlot> Pids;

    // Line assembly across reads.
    size_t CarryLength = 0;        // the length of the line so far, which may exceed what Carry holds
    char Carry[RecordLineMax + 1]; // room for a CR behind the longest line
    Record Current;
};

void InitReport(ReportState* pState);
// Feeds the next bytes of the file; lines may be split anywhere between calls.
void FeedReport(ReportState* pState, const char* pData, size_t Size);
// Ends the file: a last line without LF is read now, and open steps are closed.
void FinishReport(ReportState* pState);
