// fenwarr-report on what a run could not look at: a node passed over, a walk cut short, a module path not
// read whole. Never "clean" in a run that skipped something, whatever line follows.
#include "reader/report_file.h"
#include "reader/tool_messages.h"
#include "reader/verdict.h"

#include "report_records.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace report_records;

TEST(GapMessages, EachFormatTakesItsValueApart) {
    const struct {
        std::string text;
        MessageId id;
        std::string value;
    } cases[] = {
        {"Device skipped, code is -536870389\n", MsgDeviceSkipped, "-536870389"},
        {"Device walk ended early, code is 6\n", MsgWalkEndedEarly, "6"},
        {"Module path failed, code is 122\n", MsgModulePathFailed, "122"},
        {"Device skipped, code is \n", MsgNone, ""},
    };
    for (const auto& c : cases) {
        MessageMatch match;
        MatchToolMessage(c.text.data(), c.text.size(), &match);
        EXPECT_EQ(match.Id, c.id) << c.text;
        if (c.id != MsgNone) {
            EXPECT_EQ(std::string(match.Values[0].p, match.Values[0].Length), c.value) << c.text;
        }
    }
}

const std::string Start32 = Msg(7, "Uninstall Device\n") + Msg(7, "System path: C:\\W\\system32") +
                            Msg(7, "Setup device for Windows7 32\n");
const std::string Kept = "Co-installers kept: shared with other drivers\n";
std::string End(unsigned pid, bool nothing) {
    return Msg(pid, Kept) + (nothing ? Msg(pid, "Nothing to uninstall\n") : "") +
           Msg(pid, "Refresh device node");
}
// The 64-bit road: the uninstaller hands off, the companion does the steps.
const std::string Start64 = Msg(7, "Uninstall Device\n") + Msg(7, "Setup device for Windows7 64\n") +
                            Msg(7, "Uninstall for 64bit OS\n") + Msg(7, "---OpenAP---") +
                            Msg(8, "Uninstall Device, 64bit companion\n") +
                            Msg(8, "System path: C:\\W\\system32");

struct GapCase {
    const char* label;
    std::string record;
    const char* says; // "" for none
};

// Each gap fails the run with its meaning; "Nothing to uninstall" after it (as an older uninstaller
// traced it) never makes the machine clean.
TEST(GapVerdicts, AGapFailsTheRunAndNothingIsNeverClean) {
    const GapCase cases[] = {
        {"node passed over", Start32 + Msg(7, "Device skipped, code is -536870389\n") + End(7, true),
         "error -536870389 (0xe000020b) ERROR_NO_SUCH_DEVINST"},
        {"two passed over, one error told once",
         Start32 + Msg(7, "Device skipped, code is 5\n") + Msg(7, "Device skipped, code is 5\n") +
             End(7, false),
         "Devices passed over: 2 node(s)"},
        {"walk cut", Start32 + Msg(7, "Device walk ended early, code is 6\n") + End(7, true),
         "Device walk: FAILED: it ended early, the nodes after it were not looked at: error 6 "
         "ERROR_INVALID_HANDLE"},
        {"list block failed", Start32 + Msg(7, "Malloc failed\n") + End(7, true), "out of memory"},
        {"device set not obtained",
         Start32 + Msg(7, "SetupDiGetClassDevs failed, error code: 0x5\n") + End(7, true),
         "the device set could not be obtained"},
        {"package INF missing",
         Start32 + Msg(7, "Package INF not found, code is 2, C:\\p\\usbvcom.inf\n") + End(7, true),
         "1 of 7 NOT FOUND"},
        {"store name too long",
         Start32 + Msg(7, "Store file name too long: C:\\W\\inf\\x.inf\n") + End(7, true),
         "the path does not fit in 260 bytes"},
        {"listing cut", Start32 + Msg(7, "FindNextFile failed, code is 21\n") + End(7, true),
         "Driver store listing: FAILED part way"},
        {"store left alone",
         Start32 + Msg(7, "No package INF to compare with, driver store left alone\n") + End(7, true),
         "LEFT ALONE"},
        {"companion's node passed over", Start64 + Msg(8, "Device skipped, code is 5\n") + End(8, true),
         "Companion devices passed over: 1"},
    };
    for (const GapCase& c : cases) {
        SCOPED_TRACE(c.label);
        std::string report;
        EXPECT_EQ(ReportBuffer(c.record.data(), c.record.size(), "record", &report), ReportStepFailed)
            << report;
        EXPECT_TRUE(Contains(report, c.says)) << report;
        EXPECT_TRUE(Contains(report, "Verdict: FAILED")) << report;
        EXPECT_FALSE(Contains(report, "clean")) << report;
    }
}

TEST(GapVerdicts, OnlyAWholeSearchThatFoundNothingIsClean) {
    for (const std::string& record : {Start32 + End(7, true), Start64 + End(8, true)}) {
        std::string report;
        EXPECT_EQ(ReportBuffer(record.data(), record.size(), "record", &report), ReportAllSucceeded)
            << report;
        EXPECT_TRUE(Contains(report, "Verdict: OK, nothing to uninstall: the machine was clean already"))
            << report;
    }
}

TEST(GapVerdicts, AModulePathNotReadWholeStartsNothing) {
    const struct {
        unsigned code;
        const char* says;
    } cases[] = {
        {122, "error 122 ERROR_INSUFFICIENT_BUFFER: it fills the 260-byte buffer, so it may be cut short"},
        {161, "error 161 ERROR_BAD_PATHNAME: it names no folder"},
        {5, "error 5 ERROR_ACCESS_DENIED: access denied"},
    };
    for (const auto& c : cases) {
        const std::string record = Msg(7, "Setup Device\n") + Msg(7, "Setup device for Windows7 64\n") +
                                   Msg(7, "Setup for 64bit OS, line: 1715") +
                                   Msg(7, "Module path failed, code is " + std::to_string(c.code) + "\n");
        std::string report;
        EXPECT_EQ(ReportBuffer(record.data(), record.size(), "record", &report), ReportStepFailed) << report;
        EXPECT_TRUE(Contains(report, c.says)) << report;
        EXPECT_TRUE(Contains(report, "Fenwarr64.exe was not started")) << report;
        EXPECT_FALSE(Contains(report, "messages not understood")) << report;
    }
}

} // namespace
