// The files of a rollout's collection: the folders named on the command line, searched with their
// subfolders. Plain C library calls, for the host and for Windows (mingw-w64's dirent).
#pragma once

#include <string>

bool IsFolder(const char* pPath);

// Called for each regular file under the folder, in name order (Reason empty), and for each entry that
// cannot be looked into (Reason says why).
typedef void (*FolderVisitor)(const std::string& Path, const std::string& Reason, void* pContext);

void WalkFolder(const std::string& Folder, FolderVisitor pVisit, void* pContext);
