#include "uninstall/uninstall.h"

#include "trace/trace.h"

namespace {

// Two of these live on the stack at once; an INF file is a few chunks.
enum { ChunkSize = 512 };

// Opens an existing file for reading, sharing it only with other readers. Traces a failure.
HANDLE OpenForReading(const char* pPath) {
    HANDLE hFile =
        CreateFileA(pPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE) { // NOLINT(performance-no-int-to-ptr): the platform's own constant
        DWORD Error = GetLastError();
        TraceMsg("CreateFile failed, code is %d, %s\n", Error, pPath);
    }
    return hFile;
}

} // namespace

int SameContent(const char* pPathA, const char* pPathB) {
    int Result = -1;
    HANDLE hFileA = INVALID_HANDLE_VALUE; // NOLINT(performance-no-int-to-ptr)
    HANDLE hFileB = INVALID_HANDLE_VALUE; // NOLINT(performance-no-int-to-ptr)
    BYTE ChunkA[ChunkSize];
    BYTE ChunkB[ChunkSize];
    DWORD ReadA = 0;
    DWORD ReadB = 0;

    hFileA = OpenForReading(pPathA);
    if (hFileA == INVALID_HANDLE_VALUE) // NOLINT(performance-no-int-to-ptr)
        goto Cleanup;
    hFileB = OpenForReading(pPathB);
    if (hFileB == INVALID_HANDLE_VALUE) // NOLINT(performance-no-int-to-ptr)
        goto Cleanup;

    // Chunk by chunk to the end of both: a file that changed since its size was read still differs.
    do {
        if (!ReadFile(hFileA, ChunkA, ChunkSize, &ReadA, NULL)) {
            DWORD Error = GetLastError();
            TraceMsg("ReadFile failed, code is %d, %s\n", Error, pPathA);
            goto Cleanup;
        }
        if (!ReadFile(hFileB, ChunkB, ChunkSize, &ReadB, NULL)) {
            DWORD Error = GetLastError();
            TraceMsg("ReadFile failed, code is %d, %s\n", Error, pPathB);
            goto Cleanup;
        }
        if (ReadA != ReadB || memcmp(ChunkA, ChunkB, ReadA) != 0) {
            Result = 0;
            goto Cleanup;
        }
    } while (ReadA != 0);
    Result = 1;

Cleanup:
    if (hFileB != INVALID_HANDLE_VALUE) // NOLINT(performance-no-int-to-ptr)
        CloseHandle(hFileB);
    if (hFileA != INVALID_HANDLE_VALUE) // NOLINT(performance-no-int-to-ptr)
        CloseHandle(hFileA);
    return Result;
}
