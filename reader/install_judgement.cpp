#include "reader/install_judgement.h"

#include <cstring>

namespace {

void ListName(std::string* pList, const char* pName) {
    pList->append(pList->empty() ? "" : ", ").append(pName);
}

// The run's step of `Who` on `pSubject`, or null.
const StepVerdict* FindStep(const RunVerdict& Run, Speaker Who, RunStep Step, const char* pSubject) {
    for (const StepVerdict& S : Run.Steps) {
        if (S.Companion == (Who == SpeakerCompanion) && S.Step == Step && strcmp(S.pSubject, pSubject) == 0)
            return &S;
    }
    return nullptr;
}

bool StepDone(const RunVerdict& Run, Speaker Who, RunStep Step, const char* pSubject) {
    const StepVerdict* pStep = FindStep(Run, Who, Step, pSubject);
    return pStep != nullptr && pStep->Outcome == OutcomeDone;
}

// The files of `Step` (CoInstallerNames or InfNames) that `Who` did not get done, as a list.
std::string Undone(const RunVerdict& Run, Speaker Who, RunStep Step, const char* const* pNames, int Count) {
    std::string List;
    for (int i = 0; i < Count; ++i) {
        if (!StepDone(Run, Who, Step, pNames[i]))
            ListName(&List, pNames[i]);
    }
    return List;
}

std::string ArrivedWords() {
    return "the drivers arrived: " + std::to_string(CoInstallerCount) + " co-installers copied, " +
           std::to_string(InfCount) + " INF files staged";
}

} // namespace

InstallJudgement JudgeInstall(const RecordVerdict& Verdict) {
    const RunVerdict* pRun = nullptr;
    for (size_t i = 0; i < Verdict.Runs.size() && pRun == nullptr; ++i) {
        if (!Verdict.Runs[i].Uninstall && !Verdict.Runs[i].CompanionAlone)
            pRun = &Verdict.Runs[i];
    }
    if (pRun == nullptr)
        return {InstallNoRun, "the record holds no run of FenwarrSetup.exe: the drivers did not arrive"};
    if (pRun->Road == RoadNoHalf)
        return {InstallNoHalf, "this processor has no half of the package: nothing was installed"};
    if (FindStep(*pRun, SpeakerStarter, RunStepStart, "") != nullptr) // listed only when it failed
        return {InstallEarlyStop, "FenwarrSetup.exe stopped in its early steps: nothing was installed"};

    // On 64-bit Windows the companion's copies are the ones in the native system directory.
    const Speaker Copier = pRun->Road == Road64 ? SpeakerCompanion : SpeakerStarter;
    const bool NoCopier = Copier == SpeakerCompanion && !pRun->HasCompanion;
    const std::string Missing = Undone(*pRun, Copier, RunStepCoInstaller, CoInstallerNames, CoInstallerCount);
    const std::string Unstaged = Undone(*pRun, SpeakerStarter, RunStepInf, InfNames, InfCount);
    if (Missing.empty() && Unstaged.empty())
        return {InstallArrived, ArrivedWords()};
    std::string What = "the drivers did not arrive: ";
    if (NoCopier)
        What.append("Fenwarr64.exe did not run; ");
    if (!Missing.empty())
        What.append("not copied: ").append(Missing).append(Unstaged.empty() ? "" : "; ");
    if (!Unstaged.empty())
        What.append("not staged: ").append(Unstaged);
    return {InstallNotArrived, What};
}
