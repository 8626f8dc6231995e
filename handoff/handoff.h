// 64-bit hand-off: the running program's folder and the companion started from it.
#pragma once

// The 64-bit companion, next to the setup program.
extern const char CompanionName[];

// Cuts the path in pPathBuf (MAX_PATH bytes) down to its directory: the text before the last
// backslash, every byte after it zeroed. Returns 1 when cut; 0 for a null buffer or a path without
// a backslash, which is then left as it was.
int Transf2Path(char* pPathBuf);

// Starts pModule with its window hidden, in directory pPath (null: ours) with command line pCommand
// (null: none), and waits for it to end when bWait is nonzero. Reports a failed start on standard
// output and the debugger channel; gives the caller no status.
void OpenAP(const char* pModule, const char* pPath, char* pCommand, int bWait);

// Starts the companion from the setup program's own folder and waits until it has ended.
void StartCompanion();

// Starts the companion from the running program's folder with command line pCommand (null: none) and
// waits until it has ended. Starts nothing when the program's own path cannot be read whole, or the
// companion's would not fit (traced).
void RunCompanion(char* pCommand);
