// work_paths.cpp: the temporary work folder, the folder browser and the work
// cabinet file.
//
// The temporary work folder is always one that this run created itself: a
// folder that already exists under the shared temporary folder may have been
// prepared by someone else (with links inside, or open to other users), so
// it is passed over, never reused. The new folder's access list names the
// current user, SYSTEM and Administrators only and is not inherited from
// the temporary folder.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "auto_close.h"
#include "config_rules.h"
#include "dir_entry.h"
#include "package_layout.h"
#include "package_state.h"
#include "text_buffer.h"
#include "work_paths.h"

namespace {

const int lastCandidate = 999;
const char cabinetName[] = "zelka_ms.cab";
const size_t payloadBlockBytes = 5000;
const size_t partBlockBytes = 255;

// Enough for the largest SID (68 bytes) behind the TOKEN_USER header.
const DWORD tokenUserBytes = 128;

// A security descriptor whose access list gives full control to the current
// user, SYSTEM and Administrators, and is marked protected so that nothing
// is inherited from the parent folder. Every part lives inside the record.
struct PrivateFolderSecurity {
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
    DWORD tokenUser[tokenUserBytes / sizeof(DWORD)];  // DWORD-aligned
    DWORD systemSid[SECURITY_MAX_SID_SIZE / sizeof(DWORD)];
    DWORD administratorsSid[SECURITY_MAX_SID_SIZE / sizeof(DWORD)];
    DWORD acl[(sizeof(ACL) + 3 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE)) / sizeof(DWORD) + 1];
};

int ReadCurrentUserSid(PrivateFolderSecurity* security, PSID* user) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return 0;
    AutoCloseHandle tokenOwner(token);
    DWORD needed = 0;
    if (!GetTokenInformation(token, TokenUser, security->tokenUser, sizeof security->tokenUser, &needed)) {
        return 0;
    }
    *user = reinterpret_cast<TOKEN_USER*>(security->tokenUser)->User.Sid;
    return IsValidSid(*user);
}

int MakeWellKnownSid(WELL_KNOWN_SID_TYPE type, DWORD* buffer, DWORD bufferBytes) {
    DWORD size = bufferBytes;
    return CreateWellKnownSid(type, nullptr, buffer, &size) != 0;
}

// Fills security; returns 0 when any part cannot be built.
int BuildPrivateFolderSecurity(PrivateFolderSecurity* security) {
    memset(security, 0, sizeof *security);
    PSID user = nullptr;
    if (!ReadCurrentUserSid(security, &user)) return 0;
    if (!MakeWellKnownSid(WinLocalSystemSid, security->systemSid, sizeof security->systemSid)) return 0;
    if (!MakeWellKnownSid(WinBuiltinAdministratorsSid, security->administratorsSid,
                          sizeof security->administratorsSid)) {
        return 0;
    }
    ACL* acl = reinterpret_cast<ACL*>(security->acl);
    if (!InitializeAcl(acl, sizeof security->acl, ACL_REVISION)) return 0;
    const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    PSID members[] = {user, security->systemSid, security->administratorsSid};
    for (PSID member : members) {
        if (!AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, member)) return 0;
    }
    if (!InitializeSecurityDescriptor(&security->descriptor, SECURITY_DESCRIPTOR_REVISION)) return 0;
    if (!SetSecurityDescriptorDacl(&security->descriptor, TRUE, acl, FALSE)) return 0;
    if (!SetSecurityDescriptorControl(&security->descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) return 0;
    security->attributes.nLength = sizeof security->attributes;
    security->attributes.lpSecurityDescriptor = &security->descriptor;
    security->attributes.bInheritHandle = FALSE;
    return 1;
}

void ClearWorkPaths() {
    workDir[0] = '\0';
    workDirBare[0] = '\0';
    cabinetPath[0] = '\0';
}

}  // namespace

int ChooseTempWorkFolder(char* detail, size_t detailChars) {
    ClearWorkPaths();
    char tempFolder[pathChars];
    UINT length = GetWindowsDirectoryA(tempFolder, sizeof tempFolder);
    if (length == 0 || length >= sizeof tempFolder) tempFolder[0] = '\0';
    int fits = EnsureTrailingBackslash(tempFolder, sizeof tempFolder) &&
               AppendText(tempFolder, sizeof tempFolder, "temp\\");
    CopyText(detail, detailChars, tempFolder);
    if (!fits) return 0;
    CreateDirectoryA(tempFolder, nullptr);  // normally exists already

    PrivateFolderSecurity security;
    if (!BuildPrivateFolderSecurity(&security)) return 0;
    for (int i = 0; i <= lastCandidate; ++i) {
        char candidate[pathChars];
        char candidateDir[pathChars];
        char candidateCabinet[pathChars];
        if (!FormatText(candidate, sizeof candidate, "%sKSV%03d", tempFolder, i) ||
            !FormatText(candidateDir, sizeof candidateDir, "%s\\", candidate) ||
            !FormatText(candidateCabinet, sizeof candidateCabinet, "%s%s", candidateDir, cabinetName)) {
            return 0;  // the paths of every candidate have the same length
        }
        // Fails for a folder or file that exists already: only a folder made
        // here is used.
        if (!CreateDirectoryA(candidate, &security.attributes)) continue;
        CopyText(workDirBare, pathChars, candidate);
        CopyText(workDir, pathChars, candidateDir);
        CopyText(cabinetPath, pathChars, candidateCabinet);
        return 1;
    }
    return 0;
}

int EnsureTrailingBackslash(char* path, size_t capacity) {
    size_t length = strlen(path);
    if (length > 0 && path[length - 1] == '\\') return 1;
    if (length + 2 > capacity) return 0;
    path[length] = '\\';
    path[length + 1] = '\0';
    return 1;
}

int CopyPayloadToCabinet() {
    DirEntry package(exePath);
    DWORD fileSize = package.GetKind() == EntryFile ? package.GetSize() : 0;
    long long payloadBytes = ReadNumber(packageConfig.payloadSize);
    if (payloadBytes <= 0) return 1;
    uint32_t payloadOffset = 0;
    if (!LocatePayload(fileSize, payloadBytes, &payloadOffset) || payloadOffset > 0x7fffffffu) return 0;

    AutoCloseFile source(fopen(exePath, "rb"));
    if (source.Get() == nullptr) return 0;
    AutoCloseFile target(fopen(cabinetPath, "wb"));
    if (target.Get() == nullptr) return 0;
    if (fseek(source.Get(), static_cast<long>(payloadOffset), SEEK_SET) != 0) return 0;
    unsigned char block[payloadBlockBytes];
    for (;;) {
        if (StopRequested()) return 0;
        size_t got = fread(block, 1, sizeof block, source.Get());
        if (got == 0) break;
        if (fwrite(block, 1, got, target.Get()) != got) return 0;
    }
    return target.Close();
}

int AppendSplitPart(const char* partPath, const char* cabinetFilePath) {
    AutoCloseFile target(fopen(cabinetFilePath, "ab"));
    if (target.Get() == nullptr) return 0;
    AutoCloseFile part(fopen(partPath, "rb"));
    if (part.Get() == nullptr) return 0;
    unsigned char block[partBlockBytes];
    while (!feof(part.Get()) && !ferror(part.Get())) {
        if (StopRequested()) return 0;
        size_t got = fread(block, 1, sizeof block, part.Get());
        if (got > 0 && fwrite(block, 1, got, target.Get()) != got) return 0;
    }
    return target.Close();
}

int CALLBACK BrowseCallback(HWND, UINT message, LPARAM, LPARAM) {
    return message == BFFM_VALIDATEFAILEDA ? 1 : 0;
}

int BrowseForTargetFolder(HWND owner, char* folder) {
    folder[0] = '\0';
    char displayName[MAX_PATH];
    BROWSEINFOA browse;
    memset(&browse, 0, sizeof browse);
    browse.hwndOwner = owner;
    browse.pidlRoot = nullptr;  // the desktop
    browse.pszDisplayName = displayName;
    browse.lpszTitle = packageConfig.browseTitle;
    browse.ulFlags = BIF_EDITBOX | BIF_VALIDATE;
    browse.lpfn = BrowseCallback;
    browse.lParam = 0;
    LPITEMIDLIST picked = SHBrowseForFolderA(&browse);
    if (picked == nullptr) return 0;
    if (!SHGetPathFromIDListA(picked, folder)) folder[0] = '\0';
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator != nullptr) {
        allocator->Free(picked);
        allocator->Release();
    }
    return folder[0] != '\0';
}
