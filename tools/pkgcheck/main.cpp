// pkgcheck: a driver package read as Windows reads it, for scripts/release. Each line it prints is
// "KIND<TAB>TEXT"; scripts/release turns them into its problems and warnings.
//   pkgcheck lists                   "coinstaller NAME" and "inf NAME": the files a half must hold
//   pkgcheck inf-files HALF INF...   for each INF of the half Win32 or Win64: "problem TEXT" (an INF
//                                    Windows cannot read, or a name it cannot resolve), then "nocatalog
//                                    VERDICT" or "catalog PATH", then "file PATH" per [SourceDisksFiles]
//                                    entry, PATH relative to the INF's folder
//   pkgcheck hash sha1|sha256 FILE...  "HASH  FILE": the hash Windows looks FILE up by in a catalog
//   pkgcheck catalog CAT             "fault WHY|ANSWER" for a file that is no signed driver catalog (and
//                                    Windows' answer), else "alg sha1|sha256", "tag HASH" per member,
//                                    "signer TEXT" and "issuer TEXT" (its certificate), "kind KIND"
//                                    and "verdict TEXT"
//   pkgcheck signer-cer CAT DIR      the signer's certificate, DER, as DIR/signer-THUMBPRINT.cer, for
//                                    the administrators' TrustedPublisher store; its name printed
//   pkgcheck kind FILE               "pe", "broken-pe", "cabinet" (also MSI) or "flat": how Windows
//                                    hashes it
//   pkgcheck machine FILE            "pei-i386", "pei-x86-64", another machine, or "" (no PE file)
#include "deploy/deploy.h"
#include "tools/pkgcheck/catalog_read.h"
#include "tools/pkgcheck/file_hash.h"
#include "tools/pkgcheck/inf_named_files.h"
#include "tools/pkgcheck/inf_text.h"
#include "tools/pkgcheck/pe_machine.h"

#include <cstdio>
#include <string>

namespace {

// The file's bytes, at most limit of them; false, with why, when it cannot be read or is larger.
bool ReadBounded(const char* path, size_t limit, const char* kind, std::string& bytes, std::string& why) {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        why = "cannot be read";
        return false;
    }
    char buffer[65536];
    size_t n = 0;
    bytes.clear();
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0 && bytes.size() <= limit)
        bytes.append(buffer, n);
    std::fclose(f);
    if (bytes.size() > limit) {
        why = "larger than " + std::to_string(limit / (1024UL * 1024UL)) + " MiB, more than any " + kind +
              "; not read";
        return false;
    }
    return true;
}

void Print(const char* kind, const std::string& text) {
    std::printf("%s\t%s\n", kind, text.c_str());
}

void InfFiles(const char* path, Half half) {
    std::string bytes;
    std::string text;
    std::string why;
    Inf inf;
    if (!ReadBounded(path, InfMaxBytes, "INF", bytes, why) || !InfDecode(bytes, text, why) ||
        !InfParse(text, NamedFileSections, inf, why)) {
        Print("problem", std::string(path) + ": " + why);
        return;
    }
    NamedFiles named;
    InfNamedFiles(inf, half, named);
    for (const std::string& problem : named.problems)
        Print("problem", std::string(path) + ": " + problem);
    if (named.names_catalog)
        Print("catalog", named.catalog);
    else
        Print("nocatalog", VerdictOf("none"));
    for (const std::string& file : named.files)
        Print("file", file);
}

// The largest file hashed: far above any driver file.
const size_t HashMaxBytes = 256UL * 1024UL * 1024UL;

int Hash(const char* algorithm, int count, char** files) {
    for (int i = 0; i < count; ++i) {
        std::string bytes;
        std::string hex;
        std::string why;
        if (!ReadBounded(files[i], HashMaxBytes, "driver file", bytes, why) ||
            !MemberHash(bytes, algorithm, hex, why)) {
            std::fprintf(stderr, "%s: %s\n", files[i], why.c_str());
            return 1;
        }
        std::printf("%s  %s\n", hex.c_str(), files[i]);
    }
    return 0;
}

int Kind(const char* file) {
    std::string bytes;
    std::string why;
    ByteRange ranges[PeMaxRanges];
    if (!ReadBounded(file, HashMaxBytes, "driver file", bytes, why)) {
        std::fprintf(stderr, "%s: %s\n", file, why.c_str());
        return 1;
    }
    const int n = PeRanges(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), ranges);
    const bool cabinet = bytes.compare(0, 4, "MSCF") == 0 || bytes.compare(0, 4, "\xD0\xCF\x11\xE0") == 0;
    std::printf("%s\n", cabinet ? "cabinet" : n > 0 ? "pe" : n < 0 ? "broken-pe" : "flat");
    return 0;
}

int CatalogFacts(const char* path) {
    std::string bytes;
    std::string why;
    Catalog catalog;
    if (!ReadBounded(path, CatalogMaxBytes, "catalog", bytes, why)) {
        Print("fault", "not a signed catalog (" + why + ")|the catalog is not valid");
        return 0;
    }
    CatalogRead(bytes, catalog);
    if (!catalog.fault.empty()) {
        Print("fault", catalog.fault + "|" + catalog.answer);
        return 0;
    }
    Print("alg", catalog.algorithm);
    for (const std::string& tag : catalog.tags)
        Print("tag", tag);
    const CatalogSigner& s = catalog.signer;
    // Two lines, each short whatever the names: the certificate, then its issuer and dates.
    if (s.kind != "none") {
        Print("signer", s.subject + ", SHA-1 " + s.thumbprint);
        Print("issuer", "issued by " + s.issuer + ", valid " + s.valid + ", timestamp " + s.timestamp);
    }
    Print("kind", s.kind);
    Print("verdict", s.verdict);
    return 0;
}

// The signer's certificate as DIR/signer-THUMBPRINT.cer; its name printed.
int SignerCer(const char* path, const char* dir) {
    std::string bytes;
    std::string why;
    Catalog catalog;
    if (ReadBounded(path, CatalogMaxBytes, "catalog", bytes, why))
        CatalogRead(bytes, catalog);
    if (catalog.signer.der.empty()) {
        std::fprintf(stderr, "%s: no signer's certificate\n", path);
        return 1;
    }
    const std::string name = "signer-" + catalog.signer.thumbprint + ".cer";
    std::FILE* f = std::fopen((std::string(dir) + "/" + name).c_str(), "wb");
    const bool written = f != nullptr && std::fwrite(catalog.signer.der.data(), 1, catalog.signer.der.size(),
                                                     f) == catalog.signer.der.size();
    if (f != nullptr && std::fclose(f) != 0)
        return 1;
    if (!written)
        return 1;
    std::printf("%s\n", name.c_str());
    return 0;
}

int Machine(const char* file) {
    std::string bytes;
    std::string why;
    if (!ReadBounded(file, HashMaxBytes, "driver file", bytes, why)) {
        std::fprintf(stderr, "%s: %s\n", file, why.c_str());
        return 1;
    }
    std::printf("%s\n",
                PeMachine(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()).c_str());
    return 0;
}

int Usage() {
    std::fprintf(stderr, "usage: pkgcheck lists | inf-files Win32|Win64 INF... | hash sha1|sha256 FILE... | "
                         "catalog CAT | signer-cer CAT DIR | kind FILE | machine FILE\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "lists") {
        for (const char* name : CoInstallerList)
            Print("coinstaller", name);
        for (const char* name : InfList)
            Print("inf", name);
        return 0;
    }
    const std::string command = argc > 1 ? argv[1] : "";
    if (argc >= 4 && command == "hash" &&
        (std::string(argv[2]) == "sha1" || std::string(argv[2]) == "sha256"))
        return Hash(argv[2], argc - 3, argv + 3);
    if (argc == 3 && command == "catalog")
        return CatalogFacts(argv[2]);
    if (argc == 4 && command == "signer-cer")
        return SignerCer(argv[2], argv[3]);
    if (argc == 3 && command == "machine")
        return Machine(argv[2]);
    if (argc == 3 && command == "kind")
        return Kind(argv[2]);
    Half half = Half::Win32;
    if (argc < 4 || std::string(argv[1]) != "inf-files" || !HalfFromName(argv[2], half))
        return Usage();
    for (int i = 3; i < argc; ++i)
        InfFiles(argv[i], half);
    return 0;
}
