// Simulated file system: directories and files, case-insensitive paths, CopyFileA.
#include "sim/sim.h"

#include <algorithm>

namespace sim {

std::string Lower(const std::string& path) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string ParentDir(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void AddDir(const std::string& path) {
    for (std::string dir = path; !dir.empty(); dir = ParentDir(dir))
        M().dirs.insert(Lower(dir));
}

void AddFile(const std::string& path, const std::string& data, bool readOnly) {
    AddDir(ParentDir(path));
    M().files[Lower(path)] = File{data, readOnly};
}

const File* FindFile(const std::string& path) {
    auto it = M().files.find(Lower(path));
    return it == M().files.end() ? nullptr : &it->second;
}

bool FileExists(const std::string& path) {
    return FindFile(path) != nullptr;
}

} // namespace sim

using namespace sim;

namespace {

bool IsDir(const std::string& path) {
    return M().dirs.count(Lower(path)) != 0;
}

} // namespace

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
    Record("CopyFileA", {Str(lpExistingFileName), Str(lpNewFileName), Num(bFailIfExists)});
    if (Injected("CopyFileA"))
        return FALSE;
    const std::string source = lpExistingFileName;
    const std::string target = lpNewFileName;
    const File* pSource = FindFile(source);
    if (pSource == nullptr) {
        SetLastError(IsDir(source)              ? ERROR_ACCESS_DENIED
                     : IsDir(ParentDir(source)) ? ERROR_FILE_NOT_FOUND
                                                : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (!IsDir(ParentDir(target))) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    const File* pTarget = FindFile(target);
    if (IsDir(target) || (pTarget != nullptr && pTarget->readOnly)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (pTarget != nullptr && bFailIfExists) {
        SetLastError(80 /* ERROR_FILE_EXISTS */);
        return FALSE;
    }
    M().files[Lower(target)] = File{pSource->data, false};
    return TRUE;
}
