// An INF's text as SetupAPI reads it: sections, entries, quoted fields, comments, continued lines, and
// the [Strings] a value's %tokens% are replaced from.
#pragma once
#include <map>
#include <string>
#include <vector>

struct InfLine {
    std::string section;             // its section's name, lower-case
    std::string key;                 // left of '=', unquoted; empty for a line without one
    std::vector<std::string> values; // the comma-separated fields right of '=' (or the whole line)
    int number = 0;                  // the line it starts on
};

struct Inf {
    std::vector<InfLine> lines;
    std::map<std::string, std::string> strings; // [Strings]: key lower-case, its first definition
};

// Bounds on what is kept of a hostile INF: the fields of a line, the entries of the sections read.
enum { InfMaxValues = 64, InfMaxLines = 100000, InfMaxValueBytes = 4096 };

// Reads text into inf, keeping the entries of the sections named in keep (lower-case, ending in a null)
// and [Strings]; false, with why, for a line it cannot read (an unterminated section name).
bool InfParse(const std::string& text, const char* const* keep, Inf& inf, std::string& why);

// value with each %token% replaced from [Strings] and %% made %; a token [Strings] does not define is
// kept as it is and named in unknown. At most InfMaxValueBytes: no name is longer.
std::string InfSubstitute(const Inf& inf, const std::string& value, std::string& unknown);

// ASCII lower-case, as INF names compare.
std::string InfLower(std::string s);
