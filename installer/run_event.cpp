#include "installer/run_event.h"

const char EventSource[] = "Fenwarr Driver Package";

namespace {

std::string WithRecord(std::string Text, const std::string& Overall, const char* pRecord) {
    if (!Overall.empty())
        Text.append(". ").append(Overall);
    return Text.append(". Record: ").append(pRecord);
}

} // namespace

RunEvent InstallEvent(const InstallJudgement& Judgement, ReportStatus Status, const std::string& Overall,
                      const char* pRecord, uint32_t Id) {
    RunEventType Type = EventInformation;
    if (Judgement.Outcome != InstallArrived)
        Type = EventError;
    else if (Status != ReportAllSucceeded)
        Type = EventWarning;
    return {Type, Id, WithRecord("FenwarrSetup.exe: " + Judgement.What, Overall, pRecord)};
}

RunEvent RemovalEvent(bool Rollback, const RecordVerdict& Verdict, const std::string& Overall,
                      const char* pRecord) {
    RunEventType Type = EventError;
    for (const RunVerdict& Run : Verdict.Runs) {
        if (Run.Uninstall && !Run.CompanionAlone) {
            Type = Run.Result == ResultFailed    ? EventError
                   : Run.Result == ResultWarning ? EventWarning
                                                 : EventInformation;
            break;
        }
    }
    return {Type, Rollback ? EventRollbackRun : EventRemovalRun,
            WithRecord("FenwarrUninstall.exe", Overall, pRecord)};
}

RunEvent UnrecordedEvent(uint32_t Id, bool Failed, const std::string& Why) {
    return {Failed ? EventError : EventWarning, Id, Why + ". No record of this run"};
}
