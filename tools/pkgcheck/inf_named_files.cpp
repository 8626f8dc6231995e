#include "tools/pkgcheck/inf_named_files.h"

#include <map>
#include <set>

namespace {

// Each half's platform words: its sections' decoration and its CatalogFile decoration.
struct Platform {
    const char* half;
    const char* decoration;
    const char* catalog_key;
};
const Platform Platforms[] = {{"Win32", ".x86", "catalogfile.ntx86"},
                              {"Win64", ".amd64", "catalogfile.ntamd64"}};

const Platform& PlatformOf(Half half) {
    return Platforms[half == Half::Win32 ? 0 : 1];
}

// Entries by their key after [Strings], lower-case: this platform's section's first, then the plain one's.
using Entries = std::map<std::string, const InfLine*>;

// A value after [Strings], or the problem of a token it does not define.
std::string Resolved(const Inf& inf, const InfLine& line, const std::string& value, NamedFiles& out) {
    std::string unknown;
    std::string text = InfSubstitute(inf, value, unknown);
    if (!unknown.empty())
        out.problems.push_back("line " + std::to_string(line.number) + ": " + unknown +
                               " is not defined in [Strings]; Windows cannot find the file it names");
    return text;
}

Entries EntriesOf(const Inf& inf, const std::string& section, Half half, NamedFiles& out) {
    Entries entries;
    for (const std::string& name : {section + PlatformOf(half).decoration, section})
        for (const InfLine& line : inf.lines)
            if (line.section == name && !line.key.empty())
                entries.emplace(InfLower(Resolved(inf, line, line.key, out)), &line);
    return entries;
}

// The catalog Windows uses on this platform: CatalogFile.NTx86 or .NTamd64, else .NT, else CatalogFile.
void FindCatalog(const Inf& inf, Half half, NamedFiles& out) {
    const char* const keys[] = {PlatformOf(half).catalog_key, "catalogfile.nt", "catalogfile"};
    for (const char* key : keys) {
        for (const InfLine& line : inf.lines) {
            if (line.section != "version" || InfLower(line.key) != key || line.values.empty())
                continue;
            out.catalog = Resolved(inf, line, line.values[0], out);
            out.names_catalog = !out.catalog.empty();
            return;
        }
    }
}

// relative below the INF's folder, '/' between folders; false for '..' or an absolute path.
bool PackagePath(const std::string& relative, std::string& path) {
    path.clear();
    if (relative.find(':') != std::string::npos)
        return false;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find_first_of("\\/", start);
        if (end == std::string::npos)
            end = relative.size();
        const std::string part = relative.substr(start, end - start);
        if (part == "..")
            return false;
        if (!part.empty() && part != ".")
            path += (path.empty() ? "" : "/") + part;
        start = end + 1;
    }
    return true;
}

// The file's path: its disk's folder ([SourceDisksNames], fourth field), its own sub-folder, its name.
void AddFile(const Inf& inf, const Entries& disks, const InfLine& entry, NamedFiles& out,
             std::set<std::string>& seen) {
    std::string disk_path;
    const auto disk = disks.find(InfLower(entry.values.empty() ? std::string() : entry.values[0]));
    if (disk != disks.end() && disk->second->values.size() >= 4)
        disk_path = Resolved(inf, *disk->second, disk->second->values[3], out);
    const std::string sub = entry.values.size() >= 2 ? Resolved(inf, entry, entry.values[1], out) : "";
    const std::string name = Resolved(inf, entry, entry.key, out);
    std::string path;
    // A disk on a share (\\server\...) is outside the package as much as a drive letter is.
    if (disk_path.compare(0, 2, "\\\\") == 0 || !PackagePath(disk_path + "\\" + sub + "\\" + name, path)) {
        out.problems.push_back("line " + std::to_string(entry.number) + ": " + name +
                               ": a path outside the package ('..' or an absolute path); not read");
        return;
    }
    std::string file;
    if (!PackagePath(name, file) || file.empty()) {
        out.problems.push_back("line " + std::to_string(entry.number) + ": " + name +
                               ": names no file; not read");
        return;
    }
    if (seen.insert(InfLower(path)).second)
        out.files.push_back(path);
}

} // namespace

const char* const NamedFileSections[] = {
    "version",          "sourcedisksnames",     "sourcedisksnames.x86",   "sourcedisksnames.amd64",
    "sourcedisksfiles", "sourcedisksfiles.x86", "sourcedisksfiles.amd64", nullptr};

void InfNamedFiles(const Inf& inf, Half half, NamedFiles& out) {
    out = NamedFiles();
    FindCatalog(inf, half, out);
    NamedFiles quiet; // a token's problem is reported once, where the file is added
    const Entries disks = EntriesOf(inf, "sourcedisksnames", half, quiet);
    const Entries files = EntriesOf(inf, "sourcedisksfiles", half, quiet);
    std::set<std::string> seen;
    // Per file the entry for this platform, else the plain one: Windows never looks at both.
    for (const InfLine& line : inf.lines) {
        if (line.section.compare(0, 16, "sourcedisksfiles") != 0 || line.key.empty())
            continue;
        const auto chosen = files.find(InfLower(InfSubstitute(inf, line.key, quiet.catalog)));
        if (chosen != files.end() && chosen->second == &line)
            AddFile(inf, disks, line, out, seen);
    }
}

bool HalfFromName(const char* name, Half& half) {
    for (const Platform& p : Platforms) {
        if (std::string(name) == p.half) {
            half = &p == &Platforms[0] ? Half::Win32 : Half::Win64;
            return true;
        }
    }
    return false;
}
