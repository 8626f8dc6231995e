#include "installer/install_judgement.h"

namespace {

bool Done(const FileStep& Step) {
    return Step.State == StepDone;
}

void ListName(std::string* pList, const char* pName) {
    pList->append(pList->empty() ? "" : ", ").append(pName);
}

} // namespace

InstallJudgement JudgeInstall(const ReportState& State) {
    const Run* pRun = nullptr;
    for (const Run& R : State.Runs) {
        if (!R.Uninstall && R.Starter >= 0) {
            pRun = &R;
            break;
        }
    }
    if (pRun == nullptr)
        return {InstallNoRun, "the record holds no run of FenwarrSetup.exe: the drivers did not arrive"};

    const ProcessState& Setup = State.Processes[static_cast<size_t>(pRun->Starter)];
    if (Setup.NoHalf)
        return {InstallNoHalf, "this processor has no half of the package: nothing was installed"};
    if (Setup.EarlyFailure != MsgNone)
        return {InstallEarlyStop, "FenwarrSetup.exe stopped in its early steps: nothing was installed"};

    // On 64-bit Windows the companion's copies are the ones in the native system directory.
    const ProcessState* pCopier = &Setup;
    if (Setup.Bits == 64)
        pCopier = pRun->Companion >= 0 ? &State.Processes[static_cast<size_t>(pRun->Companion)] : nullptr;
    std::string Missing;
    for (int i = 0; i < CoInstallerCount; ++i) {
        if (pCopier == nullptr || !Done(pCopier->CoInstallers[i]))
            ListName(&Missing, CoInstallerNames[i]);
    }
    std::string Unstaged;
    for (int i = 0; i < InfCount; ++i) {
        if (!Done(Setup.Infs[i]))
            ListName(&Unstaged, InfNames[i]);
    }
    if (Missing.empty() && Unstaged.empty())
        return {InstallArrived, "the drivers arrived: 2 co-installers copied, 7 INF files staged"};
    std::string What = "the drivers did not arrive: ";
    if (pCopier == nullptr)
        What.append("Fenwarr64.exe did not run; ");
    if (!Missing.empty())
        What.append("not copied: ").append(Missing).append(Unstaged.empty() ? "" : "; ");
    if (!Unstaged.empty())
        What.append("not staged: ").append(Unstaged);
    return {InstallNotArrived, What};
}
