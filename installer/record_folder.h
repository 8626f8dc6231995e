// Where the custom action keeps its records: %windir%\Logs\Fenwarr, a folder that only administrators and
// SYSTEM may write. The action runs as SYSTEM, so it never writes through a reparse point, nor into a folder
// or file it did not make with its own ACL: nobody else can aim its writes elsewhere.
#pragma once

#include "installer/record_names.h"

#include <windows.h>

#include <string>

enum { RecordPathMax = MAX_PATH };

// Finds or makes the folder; false, with the reason in *pWhy, when it is not one we can trust.
bool OpenRecordFolder(char* pFolder, std::string* pWhy);

// Creates a new record file in the folder, never opening one that exists; its name goes to pName.
HANDLE CreateRecordFile(const char* pFolder, const char* pProgram, const char* pAction,
                        const LocalStamp& When, char* pName, std::string* pWhy);

// Deletes our oldest records, so that the newest RecordsKept stay.
void PruneRecords(const char* pFolder);
