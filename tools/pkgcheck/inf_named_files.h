// The files an INF names for one half of the package, as Windows finds them on that platform.
#pragma once
#include "tools/pkgcheck/inf_parse.h"

#include <string>
#include <vector>

enum class Half { Win32, Win64 };

struct NamedFiles {
    bool names_catalog = false;
    std::string catalog;               // relative to the INF's folder, '/' between folders
    std::vector<std::string> files;    // each [SourceDisksFiles] file below its disk's and its own folder
    std::vector<std::string> problems; // a name Windows cannot resolve, or one outside the package
};

// The sections InfNamedFiles reads, for InfParse.
extern const char* const NamedFileSections[];

void InfNamedFiles(const Inf& inf, Half half, NamedFiles& out);

// "Win32" or "Win64" as Half; false for any other word.
bool HalfFromName(const char* name, Half& half);
