// Joins a directory and a file name into a MAX_PATH buffer.
#pragma once

// Writes "pDir\pName" (exactly one backslash between them, nothing normalised) into pOut, which holds
// MAX_PATH bytes. Returns 1 when written; 0, with pOut untouched, when the name would not fit.
int JoinPath(char* pOut, const char* pDir, const char* pName);
