// Reads a dbgmon record file (or a DebugView log) and assembles what the tool's programs did: each program's
// messages (the tag record, then the message record of the same process), grouped into runs. A run starts at
// the first message of the setup program or of the uninstaller; the companion joins the run of the same kind
// whose hand-off it follows.
#pragma once

#include "reader/record/debugview_line.h"
#include "reader/record/record.h"
#include "reader/record/record_header.h"
#include "reader/tool_messages.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

enum { CoInstallerCount = 2, InfCount = 7 };
extern const char* const CoInstallerNames[CoInstallerCount];
extern const char* const InfNames[InfCount];

// Beyond these, processes and device nodes are counted but not kept one by one.
enum { MaxProcesses = 1000, MaxNodesKept = 200, ExamplesKept = 3 };

enum StepState {
    StepNotReached, // no message of the step in the record
    StepPending,    // begun, outcome not (yet) recorded
    StepDone,
    StepFailed,
};

// Why a co-installer copy or an INF staging failed, when no error number says it.
enum FailReason {
    ReasonNone,
    ReasonError,        // the Windows or setup error in Error
    ReasonNoMemory,     // a buffer could not be allocated
    ReasonNoSystemPath, // the system directory could not be read
    ReasonTooLong,      // a path did not fit in 260 bytes
    ReasonUnknown,      // the failure message came without a cause before it
};

struct FileStep {
    StepState State;
    FailReason Reason;
    uint32_t Error;
    std::string Detail; // INF: the driver-store name; otherwise the path that was too long
};

enum NodeOutcome {
    NodePending,          // found, no outcome recorded
    NodeRemoved,          // had no driver and was removed
    NodeRemoveFailed,     // had no driver, removal failed
    NodeKept,             // has a driver: kept, by design
    NodeDriverUnreadable, // its driver value could not be read: kept
    NodeUninstalled,      // uninstall: removed, driver or none
    NodeUninstallFailed,  // uninstall: its removal failed
    NodeOutcomeCount,
};

struct DeviceNode {
    std::string Id;
    NodeOutcome Outcome;
    std::string DriverKey;
    uint32_t Error;
};

// Uninstall: a store file that is a byte copy of a package INF, and what Windows did with it.
enum StoreOutcome { StorePending, StoreRemoved, StoreRefused, StoreOutcomeCount };

struct StoreFile {
    std::string Path;
    StoreOutcome Outcome;
    uint32_t Error;
};

// Uninstall: a file the store step could not read or name, skipped.
struct SkippedFile {
    MessageId Why; // MsgOpenFailed, MsgReadFailed or MsgStoreNameTooLong
    uint32_t Error;
    std::string Path;
};

enum HandoffState {
    HandoffNotReached,
    HandoffBegun,       // "Setup for 64bit OS" or "Uninstall for 64bit OS"
    HandoffModuleNull,  // the module path buffer was null
    HandoffNoPath,      // the program's own path could not be read whole: nothing was started
    HandoffPathTooLong, // the companion's full path does not fit
    HandoffStarting,    // about to start the companion
    HandoffStartFailed, // the untagged "CreateProcess failed"
};

enum RefreshState { RefreshNotReached, RefreshRequested, RefreshRootNotFound };

// Grouped by step for the reader, not packed: there is one per process.
struct ProcessState { // NOLINT(clang-analyzer-optin.performance.Padding)
    ProgramRole Role;
    bool HasPid; // false when read from a DebugView log without process ids
    uint32_t Pid;
    size_t FirstLine;
    bool HasTime;
    uint64_t FirstMs;
    uint64_t LastMs;
    size_t Messages;

    MessageId EarlyFailure; // the early step's failure message (MsgNoHalf: a setup run's stop), or MsgNone
    std::string SysPath;
    bool HasMajor, HasMinor;
    uint32_t Major, Minor;
    bool OtherOs;
    std::string PlatformLine; // as traced, without its line end
    int Bits;                 // 32 or 64 from the platform line, 0 when not traced
    bool NoHalf;              // the processor has no package half: Machine names it
    uint32_t Machine;

    FileStep CoInstallers[CoInstallerCount];
    int CurrentCoInstaller; // the copy begun last, -1 for none
    bool CopyOpen;          // the current copy has no outcome yet
    FailReason CopyReason;  // the cause seen for the current copy's failure
    uint32_t CopyError;
    std::string CopyDetail;

    FileStep Infs[InfCount];
    int CurrentInf;

    std::vector<DeviceNode> Nodes; // the first MaxNodesKept
    size_t NodeCount;
    size_t NodeOutcomes[NodeOutcomeCount];
    size_t NodesSkippedNoMemory;
    bool NodeOpen;      // the node found last has no outcome yet
    bool DevicesWalked; // a message after the walk shows it ended

    // Gaps in the walk: nodes whose hardware IDs could not be read (their errors, the first
    // MaxNodesKept), and an end before the last node.
    size_t NodesPassedOver;
    std::vector<uint32_t> PassedOverErrors;
    bool WalkCut;
    uint32_t WalkCutError;

    RefreshState Refresh;

    // Uninstall.
    bool DeviceSetFailed; // no device set: no node was looked at
    uint32_t DeviceSetError;
    bool StoreReached;              // a message of the store step, or of a later step
    FileStep PackageInfs[InfCount]; // StepFailed for one that is missing or too long
    MessageId StoreLeftAlone;       // why the store was not walked, or MsgNone
    uint32_t StoreError;            // the error that came with it
    std::string StoreDetail;        // the path that came with it
    bool StoreListCut;              // the listing ended on an error part way
    uint32_t StoreListError;
    std::vector<StoreFile> StoreFiles; // the first MaxNodesKept
    size_t StoreFileCount;
    size_t StoreOutcomes[StoreOutcomeCount];
    bool StoreFileOpen;                    // the store file found last has no outcome yet
    std::vector<SkippedFile> SkippedFiles; // the first MaxNodesKept
    size_t SkippedFileCount;
    bool CoInstallersKept;
    bool NothingToUninstall;

    HandoffState Handoff;
    uint32_t ModulePathError; // with HandoffNoPath
    std::string ModulePath;
    std::string CompanionPath;
    int CompanionProcess; // index of the companion's process, -1 for none

    size_t UnknownMessages;
    std::vector<std::string> UnknownExamples;
    size_t UntaggedStrings; // untagged strings other than the tool's own
    std::vector<std::string> UntaggedExamples;
    size_t CutMessages; // messages that lost their end at the formatter's limit
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

struct ReportState {
    RecordFormat Format;
    size_t Lines;  // header lines included: a line number is the file's
    bool InHeader; // no line but header lines yet
    size_t HeaderLines;
    MachineFacts Machine; // from the header
    size_t Records;
    size_t ToolMessages;
    bool LastLineCut; // the last record had no line end

    size_t BadLines;
    size_t BadByStatus[RecordStatusCount];
    std::vector<std::string> BadExamples;

    size_t ForeignStrings;
    size_t ForeignProcesses;
    std::vector<std::string> ForeignExamples;
    size_t UnknownSenderStrings; // without a process id and not the tool's
    std::vector<std::string> UnknownSenderExamples;

    // A DebugView log: its time column, and how its strings came.
    DebugViewTime ViewTime; // as the first line has it
    bool ViewClockMs;       // some time of day with milliseconds
    size_t ViewPidLines;    // lines with a process id
    size_t ViewJoinedLines; // lines holding more than one string
    size_t NoPidTags;       // the tool's tags without a process id: its programs read as one process
    bool Utf16;             // the file starts with a UTF-16 byte order mark

    size_t StrayMessages; // tagged messages of a process in no run
    std::vector<std::string> StrayExamples;
    size_t LoneTags;         // tags without their message
    size_t DroppedProcesses; // beyond MaxProcesses

    std::vector<ProcessState> Processes;
    std::vector<Run> Runs;
    std::unordered_map<uint64_t, PidSlot> Pids;

    // Line assembly across reads.
    size_t CarryLength;            // the length of the line so far, which may exceed what Carry holds
    char Carry[RecordLineMax + 1]; // room for a CR behind the longest line
    Record Current;
};

void InitReport(ReportState* pState);
// Feeds the next bytes of the file; lines may be split anywhere between calls.
void FeedReport(ReportState* pState, const char* pData, size_t Size);
// Ends the file: a last line without LF is read now, and open steps are closed.
void FinishReport(ReportState* pState);
