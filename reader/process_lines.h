// A program's process in the report: its name, the line that introduces it, and what it sent that the
// reader could not place.
#pragma once

#include "reader/run_reader.h"

#include <string>
#include <vector>

bool IsUninstall(const ProcessState& P);
const char* ProgramName(const ProcessState& P);
// "  Setup program: FenwarrSetup.exe, pid 4242, from line 3, ..." with its line end.
void ProcessHeader(const ReportState& State, const ProcessState& P, std::string* pOut);
// " (first: "...", "...")" and the line end.
void ExampleList(const std::vector<std::string>& Examples, std::string* pOut);
// What the process sent that the reader could not place; `pLabel` introduces each line.
void NoiseLines(const ProcessState& P, const char* pLabel, std::string* pOut);
