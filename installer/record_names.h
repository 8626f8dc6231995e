// The records the custom action keeps: one file per run, "<program>-<action>-<YYYYMMDD-HHMMSS>.log" in UTC
// (a second run in the same second gets "-2" and so on before ".log"), the newest RecordsKept of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum { RecordsKept = 20 };

struct LocalStamp {
    uint16_t Year, Month, Day, Hour, Minute, Second;
};

// "FenwarrSetup-install-20261210-140307.log"; with Attempt > 1, "...-140307-2.log".
std::string RecordFileName(const char* pProgram, const char* pAction, const LocalStamp& When,
                           unsigned Attempt);

// Of the names in a record folder, those of our records that go so that the newest `Keep` stay, oldest
// first. Names of any other form are never chosen.
std::vector<std::string> RecordsToDelete(const std::vector<std::string>& Names, size_t Keep);
