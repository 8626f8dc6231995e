// The event's one call to the platform, apart from its text: on the host the simulated platform takes it.
#include "installer/run_event.h"

#include "win32/platform.h"

void WriteRunEvent(const RunEvent& Event) {
    HANDLE Source = RegisterEventSourceA(NULL, EventSource);
    if (Source == NULL)
        return;
    const char* pStrings[1] = {Event.Text.c_str()};
    ReportEventA(Source, Event.Type, 0, Event.Id, NULL, 1, 0, pStrings, NULL);
    DeregisterEventSource(Source);
}
