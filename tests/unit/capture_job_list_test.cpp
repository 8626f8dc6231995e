// The capture's reading of a job's process list once the command has ended: the job has ended when nothing it
// lists still runs, including when its count stayed above zero for a process that never ran.
#include "capture/job_list.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

struct Machine {
    std::set<uint32_t> Running;
    std::vector<uint32_t> Asked;
};

int Alive(void* pContext, uint32_t Pid) {
    Machine* pMachine = static_cast<Machine*>(pContext);
    pMachine->Asked.push_back(Pid);
    return pMachine->Running.count(Pid) != 0;
}

struct ListCase {
    const char* pName;
    std::vector<uintptr_t> Ids; // the slots as the system filled them
    uint32_t Listed;
    uint32_t Assigned;
    std::set<uint32_t> Running;
    int Ended;
};

TEST(CaptureJobListTest, EndedOnlyWhenNothingListedRuns) {
    const uint32_t Room = 4;
    const ListCase Cases[] = {
        {"an empty list", {}, 0, 0, {}, 1},
        {"every listed process gone", {40, 44}, 2, 2, {}, 1},
        {"one listed process still runs", {40, 44}, 2, 2, {44}, 0},
        // wineserver: the count kept for a process that never ran pads the list with zeros
        {"a count kept for a process that never ran", {0}, 1, 1, {}, 1},
        {"padding beside a live process", {0, 52}, 2, 2, {52}, 0},
        {"more assigned than there is room for", {40, 44, 48, 52}, 4, 5, {}, 0},
        {"a list longer than its room", {40, 44, 48, 52}, 5, 4, {}, 0},
        {"an id no process can have", {uintptr_t(0x1ffffffffull)}, 1, 1, {}, 1},
        {"a running process beyond the listed count is not asked", {40, 44}, 1, 1, {44}, 1},
    };
    for (const ListCase& Case : Cases) {
        Machine Seen;
        Seen.Running = Case.Running;
        std::vector<uintptr_t> Slots(Case.Ids);
        Slots.resize(Room + 1, 0);
        EXPECT_EQ(CaptureJobListEnded(Slots.data(), Case.Listed, Case.Assigned, Room, Alive, &Seen), Case.Ended)
            << Case.pName;
        for (uint32_t Pid : Seen.Asked)
            EXPECT_NE(Pid, 0u) << Case.pName << ": pid 0 was asked about";
    }
}

} // namespace
