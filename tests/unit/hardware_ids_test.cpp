#include "devices/devices.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::vector<std::string> Entries = {
    "USB\\VID_4C1B&PID_7435", "USB\\VID_4C1B&PID_7500", "USB\\VID_4C1B&PID_743A", "USB\\VID_4C1B&PID_74ED",
    "USB\\VID_4C1B&PID_7439", "USB\\VID_4C1B&PID_200F", "USB\\VID_4C1B&PID_2010", "USB\\VID_0E8D&PID_0003",
    "USB\\VID_0E8D&PID_0023", "USB\\VID_0E8D&PID_2000", "USB\\VID_0E8D&PID_2001", "USB\\VID_0E8D&PID_2006",
    "USB\\VID_0E8D&PID_2007", "USB\\VID_0E8D&PID_200A"};

bool IsLetter(int c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

TEST(HardwareIdTableTest, HoldsTheFourteenIdsInOrder) {
    EXPECT_EQ(std::vector<std::string>(HardwareIdTable, HardwareIdTable + HardwareIdCount), Entries);
}

TEST(HardwareIdTableTest, EveryEntryMatchesInAnyCaseAnywhereButNotOneByteShort) {
    for (const std::string& entry : Entries) {
        std::string lower = entry;
        for (char& c : lower)
            c = IsLetter(c) ? static_cast<char>(c | 0x20) : c;
        EXPECT_EQ(MatchesHardwareIdTable(entry.c_str()), 1) << entry;
        EXPECT_EQ(MatchesHardwareIdTable(lower.c_str()), 1) << lower;
        EXPECT_EQ(MatchesHardwareIdTable(("USB\\Ghost&" + entry).c_str()), 1) << "at the end: " << entry;
        EXPECT_EQ(MatchesHardwareIdTable((entry + "&REV_0100&MI_01").c_str()), 1) << entry;
        EXPECT_EQ(MatchesHardwareIdTable(entry.substr(0, entry.size() - 1).c_str()), 0) << entry;
    }
    EXPECT_EQ(MatchesHardwareIdTable(nullptr), 0);
}

struct MatchCase {
    const char* name;
    const char* id;
    int expected;
};

void PrintTo(const MatchCase& c, std::ostream* os) {
    *os << c.name;
}

class TableMatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(TableMatchTest, AnswersOneOrZero) {
    EXPECT_EQ(MatchesHardwareIdTable(GetParam().id), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ids, TableMatchTest,
    ::testing::Values(MatchCase{"InterfaceOfEntry1", "USB\\VID_4C1B&PID_7435&REV_0100&MI_01", 1},
                      MatchCase{"LowerCaseEntry3", "usb\\vid_4c1b&pid_743a", 1},
                      MatchCase{"Entries1And8CountOnce", "USB\\VID_4C1B&PID_7435&USB\\VID_0E8D&PID_0003", 1},
                      MatchCase{"BrokenRunThenWholeEntry", "USB\\VID_4C1B&PID_74USB\\VID_4C1B&PID_7435", 1},
                      MatchCase{"NeighbourPid", "USB\\VID_4C1B&PID_7436", 0},
                      MatchCase{"CompatibleId", "USB\\Class_ff&SubClass_42&Prot_01", 0},
                      MatchCase{"OtherVendor", "USB\\VID_4C1C&PID_7435", 0},
                      MatchCase{"SlashIsNoBackslash", "USB/VID_4C1B&PID_7435", 0}, MatchCase{"Empty", "", 0}),
    [](const ::testing::TestParamInfo<MatchCase>& info) { return std::string(info.param.name); });

struct ContainsCase {
    const char* name;
    const char* string;
    const char* sub;
    int expected;
};

void PrintTo(const ContainsCase& c, std::ostream* os) {
    *os << c.name;
}

class ContainsTest : public ::testing::TestWithParam<ContainsCase> {};

TEST_P(ContainsTest, AnswersOneOrZero) {
    EXPECT_EQ(StrContainsNoCase(GetParam().string, GetParam().sub), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, ContainsTest,
    ::testing::Values(ContainsCase{"NullString", nullptr, "USB", 0},
                      ContainsCase{"NullSub", "USB", nullptr, 0},
                      ContainsCase{"BothNull", nullptr, nullptr, 0}, ContainsCase{"EmptySub", "USB", "", 0},
                      ContainsCase{"BothEmpty", "", "", 0}, ContainsCase{"EmptyString", "", "U", 0},
                      ContainsCase{"EndsRightAtTheMatch", "xxVID_4c1b", "VID_4C1B", 1},
                      ContainsCase{"StringEndsFirst", "xxVID_4C1", "VID_4C1B", 0},
                      ContainsCase{"SubLongerThanString", "VID", "VID_", 0},
                      ContainsCase{"HighByteEqualsItself", "caf\xE9", "F\xE9", 1},
                      ContainsCase{"HighBytesThirtyTwoApartDiffer", "caf\xE9", "\xC9", 0},
                      ContainsCase{"AtIsNoBacktick", "@", "`", 0},
                      ContainsCase{"BracketIsNoBrace", "[", "{", 0}),
    [](const ::testing::TestParamInfo<ContainsCase>& info) { return std::string(info.param.name); });

// Every pair of byte values, at the first position and at a later one: equal exactly when the bytes are the
// same or the same ASCII letter in either case.
TEST(StrContainsNoCaseTest, OnlyTheTwentySixLettersFold) {
    for (int a = 1; a < 256; ++a) {
        for (int b = 1; b < 256; ++b) {
            const char string[] = {static_cast<char>(a), static_cast<char>(a), '\0'};
            const char sub[] = {static_cast<char>(b), static_cast<char>(b), '\0'};
            const bool same = a == b || (IsLetter(a) && IsLetter(b) && (a | 0x20) == (b | 0x20));
            ASSERT_EQ(StrContainsNoCase(string, sub), same ? 1 : 0) << a << " against " << b;
        }
    }
}

} // namespace
