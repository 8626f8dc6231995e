// The Application event log: each call recorded, nothing stored.
#include "sim/sim.h"

using sim::Num;
using sim::Record;
using sim::Str;

namespace {
// Any non-null value: the handle is only handed back.
HANDLE const EventSourceHandle = reinterpret_cast<HANDLE>(0xE7E7);
} // namespace

HANDLE WINAPI RegisterEventSourceA(LPCSTR lpUNCServerName, LPCSTR lpSourceName) {
    Record("RegisterEventSourceA", {Str(lpUNCServerName), Str(lpSourceName)});
    return EventSourceHandle;
}

BOOL WINAPI ReportEventA(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PSID lpUserSid,
                         WORD wNumStrings, DWORD dwDataSize, LPCSTR* lpStrings, LPVOID lpRawData) {
    std::vector<std::string> args = {hEventLog == EventSourceHandle ? "source" : "bad handle",
                                     Num(wType),
                                     Num(wCategory),
                                     Num(dwEventID),
                                     lpUserSid == nullptr ? "NULL" : "sid",
                                     Num(wNumStrings),
                                     Num(dwDataSize),
                                     lpRawData == nullptr ? "NULL" : "data"};
    for (WORD i = 0; i < wNumStrings; ++i)
        args.push_back(Str(lpStrings[i]));
    Record("ReportEventA", args);
    return TRUE;
}

BOOL WINAPI DeregisterEventSource(HANDLE hEventLog) {
    Record("DeregisterEventSource", {hEventLog == EventSourceHandle ? "source" : "bad handle"});
    return TRUE;
}
