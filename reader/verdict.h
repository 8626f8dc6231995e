// The support engineer's report: each run step by step, what else the record held, one overall line.
#pragma once

#include "reader/run_reader.h"

#include <cstddef>
#include <string>

// Exit statuses of fenwarr-report.
enum ReportStatus {
    ReportAllSucceeded = 0, // every step of every run succeeded
    ReportStepFailed = 1,   // some step failed, or the record ends before a step
    ReportNoRun = 2,        // the file cannot be read or holds no run of the tool
};

// Appends the report on a finished state to *pOut and returns the exit status.
ReportStatus WriteReport(const ReportState& State, const char* pName, std::string* pOut);

// The whole analysis of a file held in memory (tests, fuzzing, benchmarks).
ReportStatus ReportBuffer(const char* pData, size_t Size, const char* pName, std::string* pOut);

// Reads the file at pPath and appends its report to *pOut; when it cannot be read, appends the reason
// to *pError instead and returns ReportNoRun.
ReportStatus ReportFile(const char* pPath, std::string* pOut, std::string* pError);
