// One line of a dbgmon record file: the sender's process id, an optional time column, and the
// debugger string with dbgmon's escapes undone. A DebugView log's lines give records too
// (debugview_line.h).
#pragma once

#include <cstddef>
#include <cstdint>

// dbgmon's buffer holds 4096 bytes: a DWORD pid, then the string and its terminator.
enum { RecordTextMax = 4091 };
// The longest line dbgmon can write: every byte as \xNN, two 20-digit columns, two TABs, a CR.
enum { RecordLineMax = 4 * RecordTextMax + 44 };

enum RecordFormat {
    FormatUnknown,   // not yet decided: no parseable line seen
    FormatPlain,     // <pid> TAB <string>
    FormatTimed,     // <ms> TAB <pid> TAB <string> (dbgmon --time)
    FormatDebugView, // <sequence> TAB <time> TAB [[pid] ]<strings>, a log saved by DebugView
};

enum RecordStatus {
    RecordOk,
    RecordEmpty,       // a blank line
    RecordNoTab,       // no TAB after the first column
    RecordBadNumber,   // a pid, time or sequence column that is not a decimal number
    RecordBadTime,     // DebugView: a time column that is not a time
    RecordBadEscape,   // a backslash not followed by \ n r t or xNN
    RecordBadByte,     // a NUL, or a raw TAB or CR inside the string
    RecordTooLong,     // longer than any debugger string can be
    RecordStatusCount, // the number of statuses
};

struct Record {
    RecordStatus Status;
    bool HasTime;
    uint64_t Ms;
    bool HasPid; // false for a DebugView log saved without process ids
    uint32_t Pid;
    const char* pEscaped; // the string as it stands in the line
    size_t EscapedLength;
    size_t TextLength;            // the unescaped string in Text
    char Text[RecordTextMax + 1]; // terminated, for the matcher's convenience
};

// What a line looks like, for deciding a file's format from its first parseable line.
RecordFormat GuessRecordFormat(const char* pLine, size_t Length);

// Parses one line (without its LF) in the given format into *pRecord. A trailing CR is ignored.
RecordStatus ParseRecord(const char* pLine, size_t Length, RecordFormat Format, Record* pRecord);

// A short name for a status, for the report.
const char* RecordStatusText(RecordStatus Status);

// Writes `Length` bytes to pOut with dbgmon's escapes, so that nothing unprintable reaches the
// terminal; with `EscapeBackslash` false a backslash stays as it is (paths read better). Stops before
// `Room` would be exceeded, never inside an escape. Returns the number of bytes written; *pUsed, when
// given, receives the number of bytes of pText they stand for.
size_t EscapeText(const char* pText, size_t Length, char* pOut, size_t Room, bool EscapeBackslash,
                  size_t* pUsed);
