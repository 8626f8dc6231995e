// The trace channel: every diagnostic goes to the debugger output, each behind the tag line.
#pragma once

#include "win32/platform.h"

// Marks the system's strings among everything else on the debugger channel.
extern const char TraceTag[];

// wsprintfA writes at most 1024 characters and a terminator, so no message can outgrow this buffer,
// and a long path or device string is traced whole.
enum { TraceBufferSize = 1025 };

// Sends the tag, then the message formatted from `pFormat` and exactly two values. Sites whose format
// uses fewer conversions pass 0 for the values it does not use. A template, so each value reaches the
// formatter with its own type. (No C++ library header here: on mingw it would swap msvcrt's stdio for
// a statically linked one.)
template <typename A, typename B> void TraceMsg(const char* pFormat, A a, B b) {
    char Buffer[TraceBufferSize];
    wsprintfA(Buffer, pFormat, a, b);
    OutputDebugStringA(TraceTag);
    OutputDebugStringA(Buffer);
}
