// A rollout's records on one page: runs by program, road and verdict; machines by Windows version and
// processor; the problems, most frequent first. Each record is folded in as it is read and then dropped,
// so the summary grows with the machines and the kinds of problem, never with the records' size.
#pragma once

#include "reader/verdict.h"

#include <map>
#include <string>
#include <vector>

// The programs a run starts with: the setup program, the uninstaller, the companion alone in each mode.
enum { RunKindCount = 4 };
// How many machines the page names for a problem.
enum { ProblemMachinesNamed = 3 };

struct MachineTally {
    std::string Name;      // the computer, or the file for a record without a header
    std::string Windows;   // from the header, else as traced ("6.1 (traced)"), else "unknown"
    std::string Processor; // from the header, else "unknown"
    size_t Results[ResultCount];
};

struct ProblemTally {
    const char* pKey;
    VerdictSeverity Severity;
    std::string Label;
    bool HasError;
    uint32_t Error;
    bool ErrorHex;
    size_t Runs;
    std::vector<std::string> Machines; // the first few where it happened
};

struct UnreadFile {
    std::string Name;
    std::string Reason;
};

struct RolloutSummary {
    size_t Records; // files with a run of the tool
    size_t Runs;
    size_t RunCounts[RunKindCount][RoadCount][ResultCount];
    std::map<std::string, MachineTally> Machines; // "c" + computer, or "f" + file name
    std::map<std::string, ProblemTally> Problems; // by label and error
    std::vector<UnreadFile> Unread;               // files without a run, each named once
};

void InitRolloutSummary(RolloutSummary* pSummary);

// Folds in a file's verdict; a file without a run is named among the unread with the reason.
void AddRecordToSummary(RolloutSummary* pSummary, const std::string& Name, const RecordVerdict& Verdict);
// A file that could not be read at all.
void AddUnreadToSummary(RolloutSummary* pSummary, const std::string& Name, const std::string& Reason);

// 0 every run succeeded, 1 a run has a problem, 2 no file held a run.
ReportStatus RolloutStatus(const RolloutSummary& Summary);

// The page.
void WriteRolloutSummary(const RolloutSummary& Summary, std::string* pOut);

// The JSON document around the records (AppendRecordJson, separated by commas): its start, and its end with
// the files not read and the summary.
void AppendRolloutJsonStart(std::string* pOut);
void AppendRolloutJsonEnd(const RolloutSummary& Summary, std::string* pOut);
