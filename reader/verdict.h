// The verdict on a record: its runs, each with its steps, its problems and how grave they are, and the
// report's one overall line. Each step's part of a run comes from its room in reader/steps/, its lines for
// the text report with it; the JSON document and a rollout's summary render the verdict.
#pragma once

#include "reader/problem_kinds.h"
#include "reader/run_reader.h"
#include "reader/run_steps.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Exit statuses of fenwarr-report.
enum ReportStatus {
    ReportAllSucceeded = 0, // every step of every run succeeded
    ReportStepFailed = 1,   // some step failed, or the record ends before a step
    ReportNoRun = 2,        // the file cannot be read or holds no run of the tool
};

enum StepOutcome {
    OutcomeDone,
    OutcomeIncomplete, // ended, with some of its part undone (see the run's problems)
    OutcomeFailed,
    OutcomePending,    // begun, the record ends before its outcome
    OutcomeNotReached, // the record ends before it
    OutcomeLeftAlone,  // not done, by design (the driver store on Windows 2000)
    OutcomeCount,
};

enum VerdictRoad { RoadUnknown, Road32, Road64, RoadNoHalf, RoadCount };

enum RunResult {
    ResultOk,
    ResultClean,   // an uninstall run that found nothing of the package
    ResultWarning, // problems, none of them a failure
    ResultFailed,
    ResultCount,
};

struct StepVerdict {
    bool Companion;       // a step of Fenwarr64.exe
    RunStep Step;         // its name: StepName
    const char* pSubject; // the file the step is about, or ""
    StepOutcome Outcome;
    bool HasError;
    uint32_t Error; // the Windows or setup error the step ended on
};

struct ProblemVerdict {
    bool Companion; // a problem of Fenwarr64.exe's steps
    ProblemKind Kind;
    const char* pKey; // stable, from the problem table
    VerdictSeverity Severity;
    size_t Count;      // how many of a kind, 0 when the problem is not counted
    std::string Label; // its words without the count: what a rollout's summary groups by
    std::string Text;  // its words as the run's verdict line gives them
    bool HasError;
    uint32_t Error; // the Windows or setup error (the first one, for a counted problem)
    bool ErrorHex;  // the tool printed it in hexadecimal
};

struct RunVerdict {
    const char* pProgram; // the program that starts the run (Fenwarr64.exe for a companion alone)
    bool CompanionAlone;
    bool HasCompanion; // the companion's process is in the record
    bool Uninstall;
    VerdictRoad Road;
    uint32_t Machine; // with RoadNoHalf: the processor, as IsWow64Process2 names it
    bool HasVersion;  // the Windows version as the program traced it
    uint32_t Major, Minor;
    RunResult Result;
    std::vector<StepVerdict> Steps;
    std::vector<ProblemVerdict> Problems;
    bool Incomplete; // the record ends before a step: said once
};

struct RecordVerdict {
    ReportStatus Status;
    MachineFacts Machine; // from the record's header
    RecordFormat Format;
    size_t Lines;
    size_t Strings; // debugger strings
    size_t BadLines;
    bool Utf16;
    size_t FailedRuns; // runs with a problem
    std::vector<RunVerdict> Runs;
};

// Fills *pVerdict from a finished state (FinishReport done).
void FillVerdict(const ReportState& State, RecordVerdict* pVerdict);
// The same, and each run's lines go to *pOut: the text report's runs, found with their verdict.
void FillVerdictWithLines(const ReportState& State, RecordVerdict* pVerdict, std::string* pOut);

// Stable names, for the JSON document and the summary.
const char* SeverityName(VerdictSeverity Severity); // "warning", "failure"
const char* OutcomeName(StepOutcome Outcome);       // "done", "incomplete", "failed", ...
const char* RoadName(VerdictRoad Road);             // "32-bit", "64-bit", "no-half", "unknown"
const char* ResultName(RunResult Result);           // "ok", "clean", "warning", "failed"

// The report's one overall line ("Overall: ..."), without its line end.
void AppendOverallLine(const ReportState& State, const RecordVerdict& Verdict, std::string* pOut);
