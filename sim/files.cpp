// Simulated file system: directories and files, case-insensitive paths, CopyFileA, folder listings and
// reading.
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
    M().files[Lower(path)] = File{data, readOnly, path};
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

// Opening or copying a path that holds no file: a folder is refused, a missing file in an existing
// folder is not found, and a missing folder is a path not found.
DWORD NoFileError(const std::string& path) {
    if (IsDir(path))
        return ERROR_ACCESS_DENIED;
    return IsDir(ParentDir(path)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

std::string BaseName(const std::string& path) {
    return path.substr(path.find_last_of('\\') + 1);
}

// '*' stands for any run of characters, '?' for one; letters compare without case.
bool Matches(const char* name, const char* pattern) {
    if (*pattern == '\0')
        return *name == '\0';
    if (*pattern == '*')
        return Matches(name, pattern + 1) || (*name != '\0' && Matches(name + 1, pattern));
    if (*name == '\0')
        return false;
    if (*pattern != '?' &&
        std::tolower(static_cast<unsigned char>(*pattern)) != std::tolower(static_cast<unsigned char>(*name)))
        return false;
    return Matches(name + 1, pattern + 1);
}

void FillFindData(const std::string& path, LPWIN32_FIND_DATAA data) {
    std::memset(data, 0, sizeof(*data));
    const File* file = FindFile(path);
    data->dwFileAttributes = file == nullptr ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (file != nullptr) {
        const unsigned long long size = file->data.size();
        data->nFileSizeLow = static_cast<DWORD>(size);
        data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    }
    const std::string name = BaseName(path).substr(0, MAX_PATH - 1);
    std::memcpy(data->cFileName, name.c_str(), name.size() + 1);
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
        SetLastError(NoFileError(source));
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
    M().files[Lower(target)] = File{pSource->data, false, target};
    return TRUE;
}

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
    Record("FindFirstFileA", {Str(lpFileName), Ptr(lpFindFileData)});
    if (Injected("FindFirstFileA"))
        return INVALID_HANDLE_VALUE;
    const std::string dir = ParentDir(lpFileName);
    if (!IsDir(dir)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // Files and folders right in `dir`, in name order.
    Listing listing;
    const std::string pattern = BaseName(lpFileName);
    for (const auto& [key, file] : M().files)
        if (ParentDir(key) == Lower(dir) && Matches(BaseName(key).c_str(), pattern.c_str()))
            listing.paths.push_back(file.path);
    for (const std::string& sub : M().dirs)
        if (ParentDir(sub) == Lower(dir) && Matches(BaseName(sub).c_str(), pattern.c_str()))
            listing.paths.push_back(sub);
    if (listing.paths.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    FillFindData(listing.paths[0], lpFindFileData);
    listing.next = 1;
    HANDLE handle = NewHandle("find");
    M().listings[handle] = listing;
    return handle;
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
    Record("FindNextFileA", {Ptr(hFindFile), Ptr(lpFindFileData)});
    if (Injected("FindNextFileA"))
        return FALSE;
    auto it = M().listings.find(hFindFile);
    if (it == M().listings.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Listing& listing = it->second;
    if (listing.next >= listing.paths.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    FillFindData(listing.paths[listing.next++], lpFindFileData);
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
    Record("FindClose", {Ptr(hFindFile)});
    M().listings.erase(hFindFile);
    if (!CloseHandleOf(hFindFile, "find")) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    Record("CreateFileA", {Str(lpFileName), Num(dwDesiredAccess), Num(dwShareMode), Ptr(lpSecurityAttributes),
                           Num(dwCreationDisposition), Num(dwFlagsAndAttributes), Ptr(hTemplateFile)});
    if (Injected("CreateFileA"))
        return INVALID_HANDLE_VALUE;
    // Only what the system asks for: an existing file, opened for reading.
    if (dwDesiredAccess != GENERIC_READ || dwCreationDisposition != OPEN_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const File* file = FindFile(lpFileName);
    if (file == nullptr) {
        SetLastError(NoFileError(lpFileName));
        return INVALID_HANDLE_VALUE;
    }
    if (file->locked) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = NewHandle("file");
    M().openFiles[handle] = OpenFile{file->data, 0};
    return handle;
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped) {
    Record("ReadFile", {Ptr(hFile), Ptr(lpBuffer), Num(nNumberOfBytesToRead), Ptr(lpNumberOfBytesRead),
                        Ptr(lpOverlapped)});
    if (Injected("ReadFile"))
        return FALSE;
    auto it = M().openFiles.find(hFile);
    if (it == M().openFiles.end() || lpNumberOfBytesRead == nullptr) {
        SetLastError(it == M().openFiles.end() ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    OpenFile& open = it->second;
    // At the end of the file: success with nothing read.
    const size_t count = std::min<size_t>(nNumberOfBytesToRead, open.data.size() - open.position);
    std::memcpy(lpBuffer, open.data.data() + open.position, count);
    open.position += count;
    *lpNumberOfBytesRead = static_cast<DWORD>(count);
    return TRUE;
}
