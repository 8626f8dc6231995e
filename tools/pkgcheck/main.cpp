// pkgcheck: a driver package read as Windows reads it, for scripts/release. Each line it prints is
// "KIND<TAB>TEXT"; scripts/release turns them into its problems and warnings.
//   pkgcheck lists                   "coinstaller NAME" and "inf NAME": the files a half must hold
//   pkgcheck inf-files HALF INF...   for each INF of the half Win32 or Win64: "problem TEXT" (an INF
//                                    Windows cannot read, or a name it cannot resolve), then "nocatalog -"
//                                    or "catalog PATH", then "file PATH" per [SourceDisksFiles] entry,
//                                    PATH relative to the INF's folder
#include "deploy/deploy.h"
#include "tools/pkgcheck/inf_named_files.h"
#include "tools/pkgcheck/inf_text.h"

#include <cstdio>
#include <string>

namespace {

// The file's bytes, at most limit of them; false, with why, when it cannot be read or is larger.
bool ReadBounded(const char* path, size_t limit, std::string& bytes, std::string& why) {
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
        why =
            "larger than " + std::to_string(limit / (1024UL * 1024UL)) + " MiB, more than any INF; not read";
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
    if (!ReadBounded(path, InfMaxBytes, bytes, why) || !InfDecode(bytes, text, why) ||
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
        Print("nocatalog", "-");
    for (const std::string& file : named.files)
        Print("file", file);
}

int Usage() {
    std::fprintf(stderr, "usage: pkgcheck lists | pkgcheck inf-files Win32|Win64 INF...\n");
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
    Half half = Half::Win32;
    if (argc < 4 || std::string(argv[1]) != "inf-files" || !HalfFromName(argv[2], half))
        return Usage();
    for (int i = 3; i < argc; ++i)
        InfFiles(argv[i], half);
    return 0;
}
