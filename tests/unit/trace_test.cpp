#include "sim_test.h"

#include "trace/trace.h"

using TraceTest = SimTest;

TEST_F(TraceTest, EachMessageIsTwoStringsTagFirst) {
    TraceMsg("Refresh device node", 7, 9);
    TraceMsg("System path: %s", "C:\\Windows\\system32", 0);
    TraceMsg("remove driver failed getlasterror is not  ERROR_INVALID_DATA, is %d, line: %d\n", 122, 1232);
    EXPECT_EQ(
        sim::M().debug,
        (Lines{"..Install or Uninstall - Vostrel", "Refresh device node", "..Install or Uninstall - Vostrel",
               "System path: C:\\Windows\\system32", "..Install or Uninstall - Vostrel",
               "remove driver failed getlasterror is not  ERROR_INVALID_DATA, is 122, line: 1232\n"}));
}

TEST_F(TraceTest, LongPathIsTracedWhole) {
    std::string path = "C:";
    while (path.size() < 300)
        path += "\\segment";
    path.resize(300);
    TraceMsg("ExistingFileName: %s\n", path.c_str(), 0);
    EXPECT_EQ(Traced(), (Lines{"ExistingFileName: " + path + "\n"}));
}

TEST_F(TraceTest, OversizedTextIsCutAtTheFormattersLimit) {
    std::string huge(5000, 'x');
    TraceMsg("Found! [%s]\n", huge.c_str(), 0);
    ASSERT_EQ(Traced().size(), 1u);
    EXPECT_EQ(Traced()[0], "Found! [" + std::string(1024 - 8, 'x'));
}

TEST_F(TraceTest, HexIsLowerCaseWithoutLeadingZeros) {
    TraceMsg("SetupCopyOEMInf failed, error code: 0x%x\n", 0xE0000100u, 0);
    TraceMsg("SetupCopyOEMInf failed, error code: 0x%x\n", 2u, 0);
    EXPECT_EQ(Traced(), (Lines{"SetupCopyOEMInf failed, error code: 0xe0000100\n",
                               "SetupCopyOEMInf failed, error code: 0x2\n"}));
}
