// The text report on a record: its head lines, each run step by step, what else the record held, and the
// overall line.
#pragma once

#include "reader/verdict.h"

#include <string>

// Appends the report on a finished state to *pOut and returns the exit status.
ReportStatus WriteReport(const ReportState& State, const char* pName, std::string* pOut);
// The same, and the verdict it was written from goes to *pVerdict: for a caller that renders it too.
ReportStatus WriteReport(const ReportState& State, const char* pName, std::string* pOut,
                         RecordVerdict* pVerdict);
