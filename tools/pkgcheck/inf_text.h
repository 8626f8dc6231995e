// An INF's bytes as Windows reads them: ANSI, or UTF-16LE after its byte order mark FF FE.
#pragma once
#include <string>

// The largest INF read: a bound on memory and time, far above any real INF.
enum { InfMaxBytes = 16 * 1024 * 1024 };

// The INF's text in text (UTF-16LE as UTF-8, ANSI as it is); false, with why, for any encoding Windows
// does not read an INF in (why follows "PATH: " on the report's line).
bool InfDecode(const std::string& bytes, std::string& text, std::string& why);
