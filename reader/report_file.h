// A record read from a file or from memory, and its report.
#pragma once

#include "reader/report_writer.h"

#include <cstddef>
#include <string>

// The whole analysis of a file held in memory (tests, fuzzing, benchmarks).
ReportStatus ReportBuffer(const char* pData, size_t Size, const char* pName, std::string* pOut);

// Reads the file at pPath into *pState (initialised here, finished when the whole file was read). With
// `GiveUpOnOther`, stops after the first block that holds neither a record line nor a header: a rollout's
// folder holds other files, some large. False when it cannot be read, with the reason in *pError
// ("cannot open: ..." or "cannot read: ...").
bool ReadReportFile(const char* pPath, bool GiveUpOnOther, ReportState* pState, std::string* pError);

// Reads the file at pPath and appends its report to *pOut; when it cannot be read, appends the reason
// to *pError instead and returns ReportNoRun.
ReportStatus ReportFile(const char* pPath, std::string* pOut, std::string* pError);
