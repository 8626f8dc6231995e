#include "tools/report/rollout_files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

namespace {

// Deeper than any collection: a guard against a folder that contains itself through a mount.
enum { FolderDepthMax = 64 };

#ifdef _WIN32
const char Separator = '\\';
#else
const char Separator = '/';
#endif

std::string JoinPath(const std::string& Folder, const char* pName) {
    std::string Path = Folder;
    if (!Path.empty() && Path.back() != '/' && Path.back() != '\\')
        Path.push_back(Separator);
    return Path.append(pName);
}

// The folders searched so far, by device and file number: a junction, a mount or a link that leads back
// to one of them is named, not searched again.
using FolderIds = std::set<std::pair<dev_t, ino_t>>;

// What a directory entry that is no file nor folder is, in words.
const char* OtherKind(mode_t Mode) {
#ifndef _WIN32
    if (S_ISFIFO(Mode))
        return "a FIFO, not read";
    if (S_ISSOCK(Mode))
        return "a socket, not read";
#endif
    if (S_ISCHR(Mode) || S_ISBLK(Mode))
        return "a device, not read";
    return "no file, not read";
}

void Walk(const std::string& Folder, int Depth, FolderIds* pSeen, FolderVisitor pVisit, void* pContext) {
    DIR* pDir = opendir(Folder.c_str());
    if (pDir == nullptr) {
        pVisit(Folder, std::string("folder cannot be listed: ") + strerror(errno), pContext);
        return;
    }
    std::vector<std::string> Names;
    while (const dirent* pEntry = readdir(pDir)) {
        if (strcmp(pEntry->d_name, ".") != 0 && strcmp(pEntry->d_name, "..") != 0)
            Names.push_back(pEntry->d_name);
    }
    closedir(pDir);
    std::sort(Names.begin(), Names.end());
    for (const std::string& Name : Names) {
        const std::string Path = JoinPath(Folder, Name.c_str());
        struct stat Info;
#ifdef _WIN32
        const bool Known = stat(Path.c_str(), &Info) == 0;
#else
        // A link to a folder is not followed: it may lead back up.
        const bool Known = lstat(Path.c_str(), &Info) == 0;
        if (Known && S_ISLNK(Info.st_mode)) {
            struct stat Target;
            if (stat(Path.c_str(), &Target) == 0 && S_ISREG(Target.st_mode))
                pVisit(Path, std::string(), pContext);
            else
                pVisit(Path, "a link to a folder or to nothing, not followed", pContext);
            continue;
        }
#endif
        if (!Known)
            pVisit(Path, std::string("cannot be looked at: ") + strerror(errno), pContext);
        else if (S_ISDIR(Info.st_mode) && !pSeen->insert({Info.st_dev, Info.st_ino}).second)
            pVisit(Path, "a folder searched already (a way back to it), not searched again", pContext);
        else if (S_ISDIR(Info.st_mode) && Depth + 1 < FolderDepthMax)
            Walk(Path, Depth + 1, pSeen, pVisit, pContext);
        else if (S_ISDIR(Info.st_mode))
            pVisit(Path, "a folder too deep, not searched", pContext);
        else if (S_ISREG(Info.st_mode))
            pVisit(Path, std::string(), pContext);
        else
            pVisit(Path, OtherKind(Info.st_mode), pContext);
    }
}

} // namespace

bool IsFolder(const char* pPath) {
    struct stat Info;
    return stat(pPath, &Info) == 0 && S_ISDIR(Info.st_mode);
}

void WalkFolder(const std::string& Folder, FolderVisitor pVisit, void* pContext) {
    FolderIds Seen;
    struct stat Info;
    if (stat(Folder.c_str(), &Info) == 0)
        Seen.insert({Info.st_dev, Info.st_ino});
    Walk(Folder, 0, &Seen, pVisit, pContext);
}
