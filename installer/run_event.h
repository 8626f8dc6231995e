// The Application event each run from the MSI leaves: where a deployment tool collects the verdict. Its
// source is registered by the action (event_source.h); FenwarrEvents.dll holds the texts Event Viewer
// shows (messages.mc).
#pragma once

#include "reader/install_judgement.h"
#include "reader/verdict.h"

#include <cstdint>
#include <string>

// The source's name, as the action registers it under ...\Services\EventLog\Application.
extern const char EventSource[];

// One event ID per kind of run (messages.mc); the type tells the verdict.
enum RunEventId : uint32_t {
    EventInstallRun = 100,
    EventRemovalRun = 200,
    EventRollbackRun = 300, // an install undone: the uninstaller
    EventRestageRun = 400   // a removal undone: the setup program again
};
enum RunEventType : uint16_t { EventError = 1, EventWarning = 2, EventInformation = 4 }; // EVENTLOG_*_TYPE

struct RunEvent {
    RunEventType Type;
    uint32_t Id;
    std::string Text; // the one insertion string
};

// An install run (Id: an install or a removal's rollback): an error when the drivers did not arrive, a
// warning when they did but a step failed, information when every step succeeded.
RunEvent InstallEvent(const InstallJudgement& Judgement, ReportStatus Status, const std::string& Overall,
                      const char* pRecord, uint32_t Id = EventInstallRun);
// A removal or a rollback, by the verdict on its run: an error when the package did not leave the store
// (or no run is in the record), a warning when something around it failed, else information.
RunEvent RemovalEvent(bool Rollback, const RecordVerdict& Verdict, const std::string& Overall,
                      const char* pRecord);
// A run that has no record: what the log said instead; an install that could not start is an error.
RunEvent UnrecordedEvent(uint32_t Id, bool Failed, const std::string& Why);

// Writes the event to the Application log (RegisterEventSource, ReportEvent). Nothing is said when that
// fails: the MSI log holds the same.
void WriteRunEvent(const RunEvent& Event);
