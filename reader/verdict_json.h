// The verdict on a record as JSON, for a dashboard: the same structure the text report is written from.
// The fields are listed in docs/support.md (fenwarr-report --json) and stay stable.
#pragma once

#include "reader/verdict.h"

#include <string>

// `"key":` with the comma before it unless it is the object's first.
void AppendJsonKey(std::string* pOut, const char* pKey, bool First = false);

// A Windows error: its number and name; `Explained`, its hex form and meaning too. Null for what is not
// known.
void AppendJsonError(std::string* pOut, bool HasError, uint32_t Error, bool Explained);

// The header's facts as an object, null without a header.
void AppendMachineJson(std::string* pOut, const MachineFacts& Facts);

// One record: the file, its exit status, what it held and each run with the machine, its steps and its
// problems.
void AppendRecordJson(std::string* pOut, const RecordVerdict& Verdict, const std::string& Name);
