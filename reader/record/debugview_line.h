// One line of a log saved by DebugView, taken apart into the debugger strings it holds. The line is a
// sequence number, a time and the text, separated by TABs. The time is seconds since the first line
// ("0.00000000") or the time of day ("11:27:48", "[11:27:48]", "11:27:48 AM", each optionally with
// milliseconds). With DebugView's "Win32 PIDs" on, the text starts with "[pid] ". The text stands as it
// was sent, without escapes: a string's own line end has become the line's, and with "Force Carriage
// Returns" off the strings of one process that did not end in a line end are joined on one line.
#pragma once

#include "reader/record/record.h"

#include <cstddef>
#include <cstdint>

enum DebugViewTime {
    TimeElapsed, // seconds since the first line
    TimeClock,   // the time of day
};

struct DebugViewLine {
    DebugViewTime Time;
    bool TimeHasMs; // a time of day with milliseconds
    uint64_t Ms;    // since the first line, or since midnight
    bool HasPid;
    uint32_t Pid;
    const char* pText;
    size_t TextLength;
};

// Whether the line has DebugView's columns: a number, a time, the text. No dbgmon record has them.
bool IsDebugViewLine(const char* pLine, size_t Length);

// Parses one line (without its LF) into *pOut; a trailing CR, and blanks and TABs at the end of the text,
// are dropped. Every string joined in the text must fit in a debugger string.
RecordStatus ParseDebugViewLine(const char* pLine, size_t Length, DebugViewLine* pOut);

// The length of the first string of a line's text: the tool's tag, or the text up to the next tag or
// the end. Never 0 unless the text is empty.
size_t FirstJoinedString(const char* pText, size_t Length);

// Fills *pRecord with the string of `Length` bytes at pText from the line, with the line end the log took
// from it put back: the string stands as it is when the tool sends it so, otherwise it gets the "\n" (or
// " \n", when the blank went with the line end) that makes it one of the tool's messages.
void TakeDebugViewString(const DebugViewLine& Line, const char* pText, size_t Length, Record* pRecord);
