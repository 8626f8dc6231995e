// pkgcheck's readers: the catalog and the files each half finds, as Windows finds them, and their hashes.
#include "tools/pkgcheck/catalog_read.h"
#include "tools/pkgcheck/file_hash.h"
#include "tools/pkgcheck/inf_named_files.h"
#include "tools/pkgcheck/inf_text.h"
#include "tools/pkgcheck/pe_machine.h"

#include <gtest/gtest.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>

#include <cstdio>
#include <string>

namespace {

struct Case {
    const char* name;
    const char* inf;
    Half half;
    const char* catalog; // "" for none
    const char* files;   // joined by '|'
    const char* problem; // a part of the first problem, "" for none
};

const char* const Disks =
    "[SourceDisksNames]\n1=\"Disk\",,,\n2=\"Disk\",,,\\amd64\n[SourceDisksNames.x86]\n1=d,,,\\i386\n";

const Case Cases[] = {
    {"plain catalog", "[Version]\nCatalogFile = a.cat ; comment\n", Half::Win32, "a.cat", "", ""},
    {"decorated catalog first",
     "[version]\nCatalogFile=a.cat\nCatalogFile.NT=nt.cat\nCATALOGFILE.NTamd64=64.cat\n", Half::Win64,
     "64.cat", "", ""},
    {".NT before plain", "[Version]\nCatalogFile=a.cat\nCatalogFile.NT=nt.cat\nCatalogFile.NTamd64=64.cat\n",
     Half::Win32, "nt.cat", "", ""},
    {"catalog through [Strings]", "[Version]\nCatalogFile.NTx86=%Name%_x86.cat\n[Strings]\nname=\"Vendor\"\n",
     Half::Win32, "Vendor_x86.cat", "", ""},
    {"undefined string", "[Version]\nCatalogFile=%Nope%.cat\n", Half::Win32, "%Nope%.cat", "",
     "%Nope% is not defined"},
    {"no catalog", "[Version]\nSignature=\"$Windows NT$\"\n", Half::Win32, "", "", ""},
    {"decorated entry before the plain one",
     "[SourceDisksFiles.x86]\nf.sys=1,x86\n[SourceDisksFiles]\nf.sys=1\ng.txt=1\n", Half::Win32, "",
     "i386/x86/f.sys|i386/g.txt", ""},
    {"the 64-bit half skips i386", "[SourceDisksFiles]\nf.sys=1\n[SourceDisksFiles.amd64]\nF.SYS=2\n",
     Half::Win64, "", "amd64/F.SYS", ""},
    {"disk folder, sub-folder, quotes, continuation",
     "[SourceDisksFiles]\n\"my file.dll\" = 2, \\\n  \"sub dir\"\n", Half::Win64, "",
     "amd64/sub dir/my file.dll", ""},
    {"file name through [Strings], %%", "[SourceDisksFiles]\n%F%=1\n100%%.txt=1\n[Strings]\nF=\"f.sys\"\n",
     Half::Win64, "", "f.sys|100%.txt", ""},
    {"'..' in a name", "[SourceDisksFiles]\n..\\..\\etc\\passwd=1\n", Half::Win32, "", "",
     "outside the package"},
    {"a name of no file", "[SourceDisksFiles]\n\\ = 1\n", Half::Win32, "", "", "names no file"},
    {"absolute path", "[SourceDisksFiles]\nC:\\Windows\\a.dll=1\n", Half::Win32, "", "",
     "outside the package"},
    {"';' inside quotes, \"\" a quote", "[SourceDisksFiles]\n\"a;b.sys\" = 1 ; c\n\"a\"\"b.txt\"=1\n",
     Half::Win32, "", "i386/a;b.sys|i386/a\"b.txt", ""},
    {"a section in two parts", "[SourceDisksFiles]\na.sys=1\n[Version]\n[SourceDisksFiles]\nb.sys=1\n",
     Half::Win64, "", "a.sys|b.sys", ""},
    {"the other half's catalog ignored", "[Version]\nCatalogFile.NTx86=x.cat\nCatalogFile=a.cat\n",
     Half::Win64, "a.cat", "", ""},
    {"a disk's folder for this platform",
     "[SourceDisksNames.amd64]\n1=d,,,\\x64\n[SourceDisksFiles]\nf.sys=1\n", Half::Win64, "", "x64/f.sys",
     ""},
    {"a disk on a share", "[SourceDisksNames]\n3=d,,,\\\\server\\s\n[SourceDisksFiles]\nf.sys=3\n",
     Half::Win32, "", "", "outside the package"},
    {"undefined string in a file name", "[SourceDisksFiles]\n%Sys%=1\n", Half::Win32, "", "i386/%Sys%",
     "%Sys% is not defined"},
    {"unterminated section", "[Version\nCatalogFile=a.cat\n", Half::Win32, "", "",
     "a section name without its closing"},
};

std::string Joined(const std::vector<std::string>& parts) {
    std::string s;
    for (const std::string& p : parts)
        s += (s.empty() ? "" : "|") + p;
    return s;
}

TEST(PkgcheckInf, NamedFilesTable) {
    for (const Case& c : Cases) {
        SCOPED_TRACE(c.name);
        Inf inf;
        std::string why;
        NamedFiles named;
        const std::string text = std::string(Disks) + c.inf;
        if (InfParse(text, NamedFileSections, inf, why))
            InfNamedFiles(inf, c.half, named);
        else
            named.problems.push_back(why);
        EXPECT_EQ(c.catalog, named.catalog);
        EXPECT_EQ(*c.catalog != '\0', named.names_catalog);
        EXPECT_EQ(c.files, Joined(named.files));
        const std::string first = named.problems.empty() ? "" : named.problems[0];
        EXPECT_NE(std::string::npos, first.find(c.problem)) << first;
        EXPECT_EQ(*c.problem == '\0', named.problems.empty());
    }
}

TEST(PkgcheckInf, SubstitutionIsBounded) {
    Inf inf;
    std::string why;
    std::string unknown;
    ASSERT_TRUE(
        InfParse("[Strings]\nlong=\"" + std::string(1000, 'x') + "\"\n", NamedFileSections, inf, why));
    std::string tokens;
    for (int i = 0; i < 100; ++i)
        tokens += "%long%";
    EXPECT_EQ(size_t{InfMaxValueBytes}, InfSubstitute(inf, tokens, unknown).size());
    EXPECT_EQ("", unknown);
}

TEST(PkgcheckInf, Encodings) {
    const struct {
        std::string bytes;
        const char* text; // nullptr: refused, why holds the advice
        const char* why;
    } rows[] = {
        {"[Version]\r\n", "[Version]\r\n", ""},
        {"; \xE9t\xE9\n", "; \xE9t\xE9\n", ""}, // ANSI: its bytes as they are
        {std::string("\xFF\xFE[\0\xE9\0\x3D\xD8\x00\xDE", 10), "[\xC3\xA9\xF0\x9F\x98\x80", ""},
        {"\xEF\xBB\xBF[Version]", nullptr,
         "UTF-8 with a byte order mark (EF BB BF); Windows reads an INF only as"},
        {std::string("\xFF\xFE[\0\x00\xDC", 6), nullptr, "not valid UTF-16LE text"},
        {std::string("\xFE\xFF\0[", 4), nullptr, "UTF-16 big-endian"},
        {std::string("[\0V\0", 4), nullptr, "UTF-16 without a byte order mark"},
    };
    for (const auto& row : rows) {
        std::string text;
        std::string why;
        EXPECT_EQ(row.text != nullptr, InfDecode(row.bytes, text, why)) << row.why;
        if (row.text != nullptr) {
            EXPECT_EQ(row.text, text);
        }
        EXPECT_NE(std::string::npos, why.find(row.why)) << why;
    }
}

} // namespace

namespace {

// A PE32 file of size bytes: MZ, its PE header at 64, count data-directory entries, a certificate table.
// PE32+ (plus) moves the entry count and the data directory 16 bytes on.
std::string Pe(size_t size, unsigned count, unsigned cert, unsigned length, bool plus = false) {
    std::string b(size, '\0');
    const size_t shift = plus ? 16 : 0;
    b[0] = 'M', b[1] = 'Z', b[60] = 64;
    b.replace(64, 4, "PE\0\0", 4);
    b[88] = 0x0B, b[89] = plus ? 0x02 : 0x01;
    b[88 + 92 + shift] = static_cast<char>(count);
    for (int i = 0; i < 4; ++i) {
        b[88 + 128 + shift + i] = static_cast<char>(cert >> (8 * i));
        b[88 + 132 + shift + i] = static_cast<char>(length >> (8 * i));
    }
    return b;
}

TEST(PkgcheckHash, PeRangesTable) {
    const struct {
        std::string bytes;
        int count;
        size_t last_end; // the end of the last range
    } rows[] = {
        {"plain text, not MZ", 0, 0},
        {Pe(512, 16, 0, 0), 3, 512},
        {Pe(512, 16, 400, 112), 3, 400},
        {Pe(512, 4, 0, 0), 2, 512},
        {Pe(512, 16, 480, 32, true), 3, 480},
        {Pe(512, 16, 400, 200), -1, 0},
        {Pe(512, 16, 0, 0).substr(0, 100), -1, 0},
    };
    for (const auto& row : rows) {
        ByteRange r[PeMaxRanges];
        const int n = PeRanges(reinterpret_cast<const unsigned char*>(row.bytes.data()), row.bytes.size(), r);
        ASSERT_EQ(row.count, n);
        if (n > 0) {
            EXPECT_EQ(row.last_end, r[n - 1].start + r[n - 1].length);
            EXPECT_EQ(152u, r[0].length); // up to the checksum
        }
    }
    std::string pe = Pe(512, 16, 0, 0);
    EXPECT_EQ("PE for machine 0x0000",
              PeMachine(reinterpret_cast<const unsigned char*>(pe.data()), pe.size()));
    pe[68] = 0x4C, pe[69] = 0x01;
    EXPECT_EQ("pei-i386", PeMachine(reinterpret_cast<const unsigned char*>(pe.data()), pe.size()));
    std::string hex;
    std::string why;
    ASSERT_TRUE(MemberHash("abc", "sha1", hex, why));
    EXPECT_EQ("A9993E364706816ABA3E25717850C26C9CD0D89D", hex);
    ASSERT_TRUE(MemberHash("abc", "sha256", hex, why));
    EXPECT_EQ("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD", hex);
    EXPECT_FALSE(MemberHash("MSCF....", "sha1", hex, why));
    EXPECT_NE(std::string::npos, why.find("a cabinet or MSI file"));
}

} // namespace

namespace {

std::string Fixture(const char* name) {
    std::string path = std::string(FENWARR_SOURCE_DIR) + "/tests/fuzz/corpus/fuzz_catalog/" + name;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::string bytes;
    char buffer[4096];
    size_t n = 0;
    while (f != nullptr && (n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    if (f != nullptr)
        std::fclose(f);
    return bytes;
}

// PKCS#7 of another type than signed data, as the release's table names it.
std::string DataOnly() {
    PKCS7* p7 = PKCS7_new();
    PKCS7_set_type(p7, NID_pkcs7_data);
    unsigned char* der = nullptr;
    const int length = i2d_PKCS7(p7, &der);
    std::string bytes(reinterpret_cast<const char*>(der), length > 0 ? static_cast<size_t>(length) : 0);
    OPENSSL_free(der);
    PKCS7_free(p7);
    return bytes;
}

// The fixtures: scripts/catalog make of one file, "member\r\n", SHA-1 and SHA-256, test-signed.
TEST(PkgcheckCatalog, ReadTable) {
    const char* const test = "test-signed: test mode only";
    const struct {
        std::string bytes;
        const char* algorithm;
        const char* tag;
        const char* fault;
        const char* verdict;
    } rows[] = {
        {Fixture("sha1.cat"), "sha1", "9B72234FD0C88E48A3EBAACDC89C503F526363CC", "", test},
        {Fixture("sha256.cat"), "sha256", "EA92FA52F9A422EF966DBB3124D5BD3896C1FF0A955E30C8133FE78E03B5FF04",
         "", test},
        {Fixture("sha1.cat").substr(0, 700), "", "", "not a signed catalog (not PKCS#7)", ""},
        {"placeholder", "", "", "not a signed catalog (not PKCS#7)", ""},
        {DataOnly(), "", "", "not a signed catalog (pkcs7-data, not PKCS#7 signed data)", ""},
    };
    for (const auto& row : rows) {
        Catalog catalog;
        CatalogRead(row.bytes, catalog);
        EXPECT_EQ(row.fault, catalog.fault);
        EXPECT_EQ(row.algorithm, catalog.algorithm);
        EXPECT_EQ(row.tag, catalog.tags.empty() ? "" : catalog.tags[0]);
        EXPECT_EQ(row.verdict, catalog.signer.verdict);
    }
    Catalog catalog;
    CatalogRead(Fixture("sha1.cat"), catalog);
    EXPECT_EQ("037D4199CD3B0E3A30A86B0C4B86E24F94313CA2", catalog.signer.thumbprint);
    EXPECT_EQ("/CN=Fenwarr test catalog", catalog.signer.subject);
    EXPECT_STREQ("unsigned: 64-bit Windows refuses it", VerdictOf("none"));
}

} // namespace
