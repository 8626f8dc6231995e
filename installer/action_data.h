// What a deferred action of ours is given: its CustomActionData, "FOLDER|VERSION|PARTIAL", set by the
// property action of the same name from [ZamtreDriverDir], [ProductVersion] and [FENWARR_ALLOW_PARTIAL].
// A deferred action reads no other property.
#pragma once

#include <cstddef>

enum { ActionFolderMax = 260, ActionVersionMax = 32 };

struct ActionData {
    char Folder[ActionFolderMax]; // the installed folder, ending in a backslash
    char Version[ActionVersionMax];
    bool AllowPartial; // FENWARR_ALLOW_PARTIAL=1: a run whose drivers did not arrive is only a warning
};

// False when the data is not of that form (an empty or over-long folder, a missing field).
bool ParseActionData(const char* pData, ActionData* pOut);
