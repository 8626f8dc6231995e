// The header the installer's custom action writes at the top of a record: "# key: value" lines before the
// first record line, saying which machine the record comes from and which run it holds.
#pragma once

#include <cstddef>
#include <string>

// A header value is kept to this many bytes; the rest of a longer one is dropped.
enum { HeaderValueMax = 200 };

struct MachineFacts {
    bool Marked = false; // the "# Fenwarr record" line
    std::string Computer;
    std::string Windows;   // "10.0 build 19045", maybe "; " and a service pack after it
    std::string Processor; // x86, x64, ARM64 or 0x<machine>
    std::string Package;
    std::string Program; // FenwarrSetup.exe or FenwarrUninstall.exe
    std::string Action;  // install, removal or rollback
    std::string Started; // local time with its offset from UTC
};

void ClearMachineFacts(MachineFacts* pFacts);

// True when some fact is known: a header without any known key says nothing of the machine.
bool HasMachineFacts(const MachineFacts& Facts);

// True for a header line ("# " and anything, without its LF); a known key's value goes to *pFacts,
// an unknown key is ignored.
bool ReadHeaderLine(const char* pLine, size_t Length, MachineFacts* pFacts);
