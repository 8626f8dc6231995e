// The driver store's side of the uninstall: which INF files are ours, and what is asked of Windows.
#include "sim_test.h"

#include "uninstall/uninstall.h"

#include <set>

namespace {

const std::string Sys = "C:\\Windows\\system32";
const std::string Store = "C:\\Windows\\inf\\";
const std::string Package = "C:\\Program Files\\Zamtre_Driver\\fenwarr\\Win32";
const char* const Infs[] = {"Halvex_mdm.inf", "Halvex_ser.inf",   "Halvex_adb.inf", "cdc-acm.inf",
                            "WceIS.inf",      "usbvcom_brom.inf", "usbvcom.inf"};

// Each package INF its own text; usbvcom.inf spans three read chunks.
std::string Content(const std::string& inf) {
    std::string text = "[Version]\r\nSignature=\"$Windows NT$\"\r\nProvider=Zamtre\r\n; " + inf + "\r\n";
    return inf == "usbvcom.inf" ? text + std::string(1200, ';') + "\r\n" : text;
}

void AddPackage() {
    for (const char* inf : Infs)
        sim::AddFile(Package + "\\" + inf, Content(inf));
}

// Another file of the same size whose last byte differs.
std::string LastByteOther(const std::string& text) {
    std::string other = text;
    other.back() = 'x';
    return other;
}

// The uninstall calls made, each as "name flags reserved".
Lines UninstallCalls() {
    Lines calls;
    for (const sim::Call& call : sim::CallsTo("SetupUninstallOEMInfA"))
        calls.push_back(call.args[0] + " " + call.args[1] + " " + call.args[2]);
    return calls;
}

struct StoreCase {
    const char* name;
    std::string file; // in the store
    std::string content;
    Lines lines;  // traced
    bool ours;    // counted and handed to SetupUninstallOEMInfA
    bool removed; // gone from the store afterwards
    bool locked = false;
    bool inUse = false;
};

void PrintTo(const StoreCase& c, std::ostream* os) {
    *os << c.name;
}

class StoreTest : public SimTest, public ::testing::WithParamInterface<StoreCase> {};

TEST_P(StoreTest, OnlyAByteCopyOfAPackageInfIsOurs) {
    const StoreCase& c = GetParam();
    AddPackage();
    sim::AddFile(Store + "machine.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\n; the system's own\r\n");
    sim::AddFile(Store + c.file, c.content);
    sim::M().files[sim::Lower(Store + c.file)].locked = c.locked;
    if (c.inUse)
        sim::M().infsInUse.insert(sim::Lower(c.file));

    DWORD found = 0;
    // A file that cannot be read leaves the search incomplete.
    EXPECT_EQ(RemoveStoreInfs(Sys.c_str(), Package.c_str(), &found), c.locked ? 0 : 1);
    EXPECT_EQ(Traced(), c.lines);
    EXPECT_EQ(found, c.ours ? 1u : 0u);
    // The file's name, never a path, and never forced.
    EXPECT_EQ(UninstallCalls(), c.ours ? Lines{c.file + " 0 NULL"} : Lines{});
    EXPECT_EQ(sim::FileExists(Store + c.file), !c.removed);
    EXPECT_TRUE(sim::FileExists(Store + "machine.inf"));
    // The listing asks for every INF file, whatever its name.
    EXPECT_EQ(sim::CallsTo("FindFirstFileA").back().args[0], Store + "*.inf");
}

const std::string Mdm = Content("Halvex_mdm.inf");
const std::string Vcom = Content("usbvcom.inf");
const std::string OtherVendor =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nProvider=Other\r\n; cdc-acm.inf\r\n";

Lines Uninstalled(const std::string& file) {
    return {"Store file: " + Store + file + "\n", "SetupUninstallOEMInf success, " + file + "\n"};
}

INSTANTIATE_TEST_SUITE_P(
    Files, StoreTest,
    ::testing::Values(
        StoreCase{"OursAsOemN", "oem7.inf", Mdm, Uninstalled("oem7.inf"), true, true},
        StoreCase{"OursOverSeveralChunks", "oem12.inf", Vcom, Uninstalled("oem12.inf"), true, true},
        // Wine stages a copy under the package's own file name.
        StoreCase{"OursUnderItsOwnName", "cdc-acm.inf", Content("cdc-acm.inf"), Uninstalled("cdc-acm.inf"),
                  true, true},
        StoreCase{"OurNameOtherVendor", "cdc-acm.inf", OtherVendor, {}, false, false},
        StoreCase{"OemNOtherVendor", "oem3.inf", OtherVendor, {}, false, false},
        StoreCase{"SameSizeLastByteOther", "oem4.inf", LastByteOther(Vcom), {}, false, false},
        StoreCase{"SameSizeFirstChunkOther", "oem4.inf", "X" + Vcom.substr(1), {}, false, false},
        StoreCase{"Empty", "oem5.inf", "", {}, false, false},
        StoreCase{"Unreadable",
                  "oem6.inf",
                  Mdm,
                  {"CreateFile failed, code is 32, " + Store + "oem6.inf\n"},
                  false,
                  false,
                  true},
        // Windows keeps a package that a device still uses: reported, left in place.
        StoreCase{
            "StillInUse",
            "oem8.inf",
            Mdm,
            {"Store file: " + Store + "oem8.inf\n", "SetupUninstallOEMInf failed, error code: 0xe000023d\n"},
            true,
            false,
            false,
            true}),
    [](const ::testing::TestParamInfo<StoreCase>& info) { return std::string(info.param.name); });

using StoreCleanupTest = SimTest;

TEST_F(StoreCleanupTest, AThousandForeignInfsCostNoRead) {
    AddPackage();
    for (int i = 0; i < 1000; ++i)
        sim::AddFile(Store + "sys" + std::to_string(i) + ".inf", std::string(3000 + i, 's'));
    sim::AddFile(Store + "oem1.inf", Mdm);
    DWORD found = 0;
    EXPECT_EQ(RemoveStoreInfs(Sys.c_str(), Package.c_str(), &found), 1);
    EXPECT_EQ(found, 1u);
    // Only the one file whose size matches is opened, next to its package INF.
    EXPECT_EQ(sim::CallsTo("CreateFileA").size(), 2u);
    EXPECT_EQ(sim::CallsTo("FindNextFileA").size(), 1001u); // the last one ends the listing
}

TEST_F(StoreCleanupTest, OpensForReadingOnlyAndSharesWithReadersOnly) {
    AddPackage();
    sim::AddFile(Store + "oem1.inf", Mdm);
    DWORD found = 0;
    RemoveStoreInfs(Sys.c_str(), Package.c_str(), &found);
    for (const sim::Call& call : sim::CallsTo("CreateFileA"))
        EXPECT_EQ(Lines(call.args.begin() + 1, call.args.end()),
                  (Lines{"2147483648", "1", "NULL", "3", "128", "NULL"}));
    EXPECT_EQ(sim::CallsTo("CreateFileA")[0].args[0], Store + "oem1.inf");
    EXPECT_EQ(sim::CallsTo("CreateFileA")[1].args[0], Package + "\\Halvex_mdm.inf");
}

TEST_F(StoreCleanupTest, WithoutTheUninstallCallTheStoreIsLeftAlone) {
    sim::M().hasSetupUninstallOEMInf = false; // Windows 2000
    AddPackage();
    sim::AddFile(Store + "oem1.inf", Mdm);
    DWORD found = 0;
    EXPECT_EQ(RemoveStoreInfs(Sys.c_str(), Package.c_str(), &found), 0);
    EXPECT_EQ(Traced(), Lines{"SetupUninstallOEMInf not found, code is 127, driver store left alone\n"});
    EXPECT_EQ(sim::CallsTo("GetModuleHandleA")[0].args, Lines{"setupapi"});
    EXPECT_EQ(sim::CallsTo("GetProcAddress")[0].args[1], "SetupUninstallOEMInfA");
    EXPECT_TRUE(sim::CallsTo("FindFirstFileA").empty());
    EXPECT_EQ(found, 0u);
}

TEST_F(StoreCleanupTest, WithoutThePackageNoStoreFileCanBeOurs) {
    sim::AddFile(Store + "oem1.inf", Mdm);
    DWORD found = 0;
    EXPECT_EQ(RemoveStoreInfs(Sys.c_str(), Package.c_str(), &found), 0);
    Lines expected;
    for (const char* inf : Infs)
        expected.push_back("Package INF not found, code is 3, " + Package + "\\" + inf + "\n");
    expected.push_back("No package INF to compare with, driver store left alone\n");
    EXPECT_EQ(Traced(), expected);
    EXPECT_TRUE(UninstallCalls().empty());
    EXPECT_TRUE(sim::FileExists(Store + "oem1.inf"));
}

TEST_F(StoreCleanupTest, AMissingPackageInfIsSkippedTheOthersStillMatch) {
    AddPackage();
    sim::M().files.erase(sim::Lower(Package + "\\Halvex_mdm.inf"));
    sim::AddFile(Store + "oem1.inf", Mdm);
    sim::AddFile(Store + "oem2.inf", Vcom);
    DWORD found = 0;
    // The missing one's copy could not be told: the search is incomplete.
    EXPECT_EQ(RemoveStoreInfs(Sys.c_str(), Package.c_str(), &found), 0);
    Lines expected = {"Package INF not found, code is 2, " + Package + "\\Halvex_mdm.inf\n"};
    for (const std::string& line : Uninstalled("oem2.inf"))
        expected.push_back(line);
    EXPECT_EQ(Traced(), expected);
    EXPECT_TRUE(sim::FileExists(Store + "oem1.inf"));
}

TEST_F(StoreCleanupTest, FoldersAndOtherFilesInTheStoreAreNotLookedAt) {
    AddPackage();
    sim::AddDir(Store + "x.inf");
    sim::AddFile(Store + "oem1.pnf", Mdm);
    DWORD found = 0;
    EXPECT_EQ(RemoveStoreInfs(Sys.c_str(), Package.c_str(), &found), 1);
    EXPECT_EQ(Traced(), Lines{});
    EXPECT_TRUE(sim::CallsTo("CreateFileA").empty());
}

// The store's listing failing in its middle: what was looked at stays done, and the failure is told.
TEST_F(StoreCleanupTest, ListingFailuresAreTraced) {
    AddPackage();
    sim::AddFile(Store + "oem1.inf", Mdm);
    sim::AddFile(Store + "oem2.inf", Vcom);
    sim::FailAt("FindNextFileA", 1, ERROR_ACCESS_DENIED);
    DWORD found = 0;
    EXPECT_EQ(RemoveStoreInfs(Sys.c_str(), Package.c_str(), &found), 0);
    Lines expected = Uninstalled("oem1.inf");
    expected.push_back("FindNextFile failed, code is 5\n");
    EXPECT_EQ(Traced(), expected);

    sim::Reset();
    AddPackage();
    sim::FailAt("FindFirstFileA", 8, ERROR_ACCESS_DENIED); // the seven package INFs, then the store
    EXPECT_EQ(RemoveStoreInfs(Sys.c_str(), Package.c_str(), &found), 0);
    EXPECT_EQ(Traced(), Lines{"FindFirstFile failed, code is 5, " + Store + "*.inf\n"});
}

struct ContentCase {
    const char* name;
    std::string a;
    std::string b;
    int same;
};

void PrintTo(const ContentCase& c, std::ostream* os) {
    *os << c.name;
}

class SameContentTest : public SimTest, public ::testing::WithParamInterface<ContentCase> {};

TEST_P(SameContentTest, ComparesEveryByteInChunks) {
    sim::AddFile("C:\\a.inf", GetParam().a);
    sim::AddFile("C:\\b.inf", GetParam().b);
    EXPECT_EQ(SameContent("C:\\a.inf", "C:\\b.inf"), GetParam().same);
    EXPECT_EQ(Traced(), Lines{});
    for (const sim::Call& call : sim::CallsTo("ReadFile"))
        EXPECT_EQ(call.args[2], "512");
}

const std::string Long(1536, 'l'); // exactly three chunks

INSTANTIATE_TEST_SUITE_P(
    Pairs, SameContentTest,
    ::testing::Values(ContentCase{"Equal", "abc", "abc", 1}, ContentCase{"BothEmpty", "", "", 1},
                      ContentCase{"ExactChunks", Long, Long, 1},
                      ContentCase{"DifferInLastChunk", Long, Long.substr(0, 1535) + "m", 0},
                      ContentCase{"OneLonger", Long, Long + "l", 0}, ContentCase{"Differ", "abc", "abd", 0}),
    [](const ::testing::TestParamInfo<ContentCase>& info) { return std::string(info.param.name); });

struct ReadFailure {
    const char* point;
    int occurrence;
    std::string line;
};

void PrintTo(const ReadFailure& c, std::ostream* os) {
    *os << c.point << '#' << c.occurrence;
}

class SameContentFailureTest : public SimTest, public ::testing::WithParamInterface<ReadFailure> {};

TEST_P(SameContentFailureTest, AnUnreadableFileIsNeverTheSame) {
    sim::AddFile("C:\\a.inf", "abc");
    sim::AddFile("C:\\b.inf", "abc");
    sim::FailAt(GetParam().point, GetParam().occurrence, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(SameContent("C:\\a.inf", "C:\\b.inf"), -1);
    EXPECT_EQ(Traced(), Lines{GetParam().line});
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SameContentFailureTest,
    ::testing::Values(ReadFailure{"CreateFileA", 1, "CreateFile failed, code is 32, C:\\a.inf\n"},
                      ReadFailure{"CreateFileA", 2, "CreateFile failed, code is 32, C:\\b.inf\n"},
                      ReadFailure{"ReadFile", 1, "ReadFile failed, code is 32, C:\\a.inf\n"},
                      ReadFailure{"ReadFile", 4, "ReadFile failed, code is 32, C:\\b.inf\n"}));

} // namespace
