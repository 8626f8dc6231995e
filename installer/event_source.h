// The Application event source of our runs, registered by the action itself before a run's first event.
#pragma once

#include <string>

// Copies the message file from the installed folder into the record folder, which neither a rollback nor
// a removal takes, and points the source's registration at that copy (written outside the installer's
// script, so no rollback takes it either). An older copy is replaced; when the installed file is gone (a
// rollback under Wine) the copy there is kept. False, with the reason in *pWhy, when the source is not
// registered with a message file that exists.
bool KeepEventSource(const char* pInstalledFolder, const char* pRecordFolder, std::string* pWhy);
