#include "installer/record_folder.h"

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// SYSTEM and the administrators, nobody else, and nothing inherited from above.
const char FolderSddl[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// The rights that let someone change what is in the folder or who may.
const DWORD WriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD |
                          FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                          GENERIC_ALL;

std::string Failure(const char* pWhat, const char* pPath, DWORD Error) {
    char Text[MAX_PATH + 96];
    snprintf(Text, sizeof(Text), "%s %s (error %lu)", pWhat, pPath, static_cast<unsigned long>(Error));
    return Text;
}

// The account this action runs as: SYSTEM on Windows (Wine runs it as the user who started msiexec).
bool IsOwnAccount(PSID pSid) {
    HANDLE Token = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &Token))
        return false;
    union {
        TOKEN_USER User;
        BYTE Room[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } Info;
    DWORD Size = 0;
    const bool Same = GetTokenInformation(Token, TokenUser, &Info, sizeof(Info), &Size) &&
                      EqualSid(pSid, Info.User.User.Sid);
    CloseHandle(Token);
    return Same;
}

// SYSTEM (S-1-5-18) or the administrators (S-1-5-32-544), read from the SID itself: IsWellKnownSid is
// Windows XP's, and Windows 2000 has the functions that read a SID.
bool IsSystemOrAdministrators(PSID pSid) {
    const SID_IDENTIFIER_AUTHORITY Nt = SECURITY_NT_AUTHORITY;
    if (!IsValidSid(pSid) || memcmp(GetSidIdentifierAuthority(pSid), &Nt, sizeof(Nt)) != 0)
        return false;
    const UCHAR Count = *GetSidSubAuthorityCount(pSid);
    const DWORD First = *GetSidSubAuthority(pSid, 0);
    if (Count == 1)
        return First == SECURITY_LOCAL_SYSTEM_RID;
    return Count == 2 && First == SECURITY_BUILTIN_DOMAIN_RID &&
           *GetSidSubAuthority(pSid, 1) == DOMAIN_ALIAS_RID_ADMINS;
}

bool IsTrustedSid(PSID pSid) {
    return IsSystemOrAdministrators(pSid) || IsOwnAccount(pSid);
}

// The folder is ours when its owner is SYSTEM or the administrators and no one else may write in it.
bool OwnedAndWritableOnlyByAdmins(HANDLE Folder) {
    PSID pOwner = NULL;
    PACL pDacl = NULL;
    PSECURITY_DESCRIPTOR pSd = NULL;
    if (GetSecurityInfo(Folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                        &pOwner, NULL, &pDacl, NULL, &pSd) != ERROR_SUCCESS)
        return false;
    bool Ours = pOwner != NULL && IsTrustedSid(pOwner) && pDacl != NULL;
    for (DWORD i = 0; Ours && i < pDacl->AceCount; ++i) {
        ACE_HEADER* pAce = NULL;
        if (!GetAce(pDacl, i, reinterpret_cast<void**>(&pAce))) {
            Ours = false;
        } else if (pAce->AceType == ACCESS_ALLOWED_ACE_TYPE) {
            const ACCESS_ALLOWED_ACE* pAllowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(pAce);
            if ((pAllowed->Mask & WriteRights) != 0 && !IsTrustedSid(const_cast<DWORD*>(&pAllowed->SidStart)))
                Ours = false;
        } else if (pAce->AceType != ACCESS_DENIED_ACE_TYPE) {
            Ours = false; // a kind of entry we do not judge
        }
    }
    LocalFree(pSd);
    return Ours;
}

typedef DWORD(WINAPI* GetFinalPathNameByHandleFn)(HANDLE, LPSTR, DWORD, DWORD);

// The folder opened is the one named: no link, junction or mount point on the way leads elsewhere (some
// systems follow a link without calling it a reparse point). Windows before Vista cannot say: taken as so.
bool ReachedByItsName(HANDLE Folder, const char* pPath) {
    const GetFinalPathNameByHandleFn pFinal =
        reinterpret_cast<GetFinalPathNameByHandleFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA")));
    if (pFinal == NULL)
        return true;
    char Final[MAX_PATH + 8];
    const DWORD Length = pFinal(Folder, Final, sizeof(Final), 0 /* FILE_NAME_NORMALIZED, VOLUME_NAME_DOS */);
    if (Length == 0 || Length >= sizeof(Final))
        return false;
    const char* pFinalPath = strncmp(Final, "\\\\?\\", 4) == 0 ? Final + 4 : Final;
    return lstrcmpiA(pFinalPath, pPath) == 0;
}

// A folder: a real one, reached by its name, no reparse point, and (CheckAcl) ours by its owner and ACL.
bool CheckFolder(const char* pPath, bool CheckAcl, std::string* pWhy) {
    HANDLE Folder =
        CreateFileA(pPath, READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (Folder == INVALID_HANDLE_VALUE) {
        *pWhy = Failure("cannot open", pPath, GetLastError());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION Info;
    bool Ok = GetFileInformationByHandle(Folder, &Info) != 0;
    if (!Ok)
        *pWhy = Failure("cannot read the attributes of", pPath, GetLastError());
    else if ((Info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
             (Info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || !ReachedByItsName(Folder, pPath))
        *pWhy = std::string(pPath) + " is a reparse point or no folder", Ok = false;
    else if (CheckAcl && !OwnedAndWritableOnlyByAdmins(Folder))
        *pWhy = std::string(pPath) + " may be written by others than SYSTEM and the administrators",
        Ok = false;
    CloseHandle(Folder);
    return Ok;
}

// Makes the folder with our ACL, or checks the one that is there.
bool MakeOrCheckFolder(const char* pPath, bool CheckExisting, std::string* pWhy) {
    SECURITY_ATTRIBUTES Attributes = {sizeof(Attributes), NULL, FALSE};
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(FolderSddl, SDDL_REVISION_1,
                                                              &Attributes.lpSecurityDescriptor, NULL)) {
        *pWhy = Failure("cannot build the ACL for", pPath, GetLastError());
        return false;
    }
    const BOOL Made = CreateDirectoryA(pPath, &Attributes);
    const DWORD Error = GetLastError();
    LocalFree(Attributes.lpSecurityDescriptor);
    if (!Made && Error != ERROR_ALREADY_EXISTS) {
        *pWhy = Failure("cannot create", pPath, Error);
        return false;
    }
    // A folder made just now carries our ACL; what leads to it is checked all the same.
    return CheckFolder(pPath, CheckExisting && !Made, pWhy);
}

} // namespace

bool OpenRecordFolder(char* pFolder, std::string* pWhy) {
    char Windows[MAX_PATH];
    const UINT Length = GetSystemWindowsDirectoryA(Windows, sizeof(Windows));
    if (Length == 0 || Length >= sizeof(Windows) - 20) {
        *pWhy = Failure("cannot read", "the Windows folder", GetLastError());
        return false;
    }
    // %windir%\Logs is Windows' own (administrators and SYSTEM write there): only no reparse point.
    snprintf(pFolder, RecordPathMax, "%s\\Logs", Windows);
    if (!MakeOrCheckFolder(pFolder, false, pWhy))
        return false;
    strcat(pFolder, "\\Fenwarr");
    return MakeOrCheckFolder(pFolder, true, pWhy);
}

HANDLE CreateRecordFile(const char* pFolder, const char* pProgram, const char* pAction,
                        const LocalStamp& When, char* pName, std::string* pWhy) {
    char Path[RecordPathMax];
    for (unsigned Attempt = 1; Attempt <= 20; ++Attempt) {
        const std::string Name = RecordFileName(pProgram, pAction, When, Attempt);
        snprintf(Path, sizeof(Path), "%s\\%s", pFolder, Name.c_str());
        // CREATE_NEW: never a file, link or reparse point that is there already.
        HANDLE File = CreateFileA(Path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        if (File != INVALID_HANDLE_VALUE) {
            strcpy(pName, Path);
            return File;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            *pWhy = Failure("cannot create", Path, GetLastError());
            return INVALID_HANDLE_VALUE;
        }
    }
    *pWhy = Failure("too many records of this second in", pFolder, ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

void PruneRecords(const char* pFolder) {
    char Pattern[RecordPathMax];
    snprintf(Pattern, sizeof(Pattern), "%s\\*.log", pFolder);
    std::vector<std::string> Names;
    WIN32_FIND_DATAA Found;
    HANDLE Search = FindFirstFileA(Pattern, &Found);
    if (Search == INVALID_HANDLE_VALUE)
        return;
    do {
        // Plain files only: a reparse point in our folder is none of ours to follow or remove.
        if ((Found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0)
            Names.push_back(Found.cFileName);
    } while (FindNextFileA(Search, &Found));
    FindClose(Search);
    for (const std::string& Name : RecordsToDelete(Names, RecordsKept)) {
        char Path[RecordPathMax];
        snprintf(Path, sizeof(Path), "%s\\%s", pFolder, Name.c_str());
        DeleteFileA(Path);
    }
}
