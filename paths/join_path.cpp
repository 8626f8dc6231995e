#include "paths/join_path.h"

#include "win32/platform.h"

int JoinPath(char* pOut, const char* pDir, const char* pName) {
    // strlen, not lstrlenA: this is arithmetic on our own strings, not a platform question.
    size_t DirLength = strlen(pDir);
    size_t NameLength = strlen(pName);
    if (DirLength + 1 + NameLength > MAX_PATH - 1)
        return 0;
    wsprintfA(pOut, "%s\\%s", pDir, pName);
    return 1;
}
