// extract_driver.cpp: one cabinet file into the target folder.
//
// ExtractCabinetFile runs the decoder with the C runtime's descriptor calls
// and HandleCabinetNotice, which shows each file name, makes its folders,
// asks before an existing file is replaced, and stamps each finished file
// with its DOS date and time (read as local time) and attributes.
//
// Names come from the cabinet and are untrusted: a name that could leave
// the target folder or name a device (IsSafeCabinetName) is skipped before
// anything is created for it, and the extraction goes on with the next file.
// A path that does not fit its buffer is refused the same way, never cut.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "auto_close.h"
#include "extract_driver.h"
#include "front_end.h"
#include "resource.h"
#include "safe_name.h"
#include "text_buffer.h"
#include "work_folder_rules.h"

// The decoder's open flags are the C runtime's own values, so they pass
// through unchanged.
static_assert(CabOpenReadOnly == _O_RDONLY && CabOpenWriteOnly == _O_WRONLY && CabOpenReadWrite == _O_RDWR,
              "access flags");
static_assert(CabOpenAppend == _O_APPEND && CabOpenCreate == _O_CREAT && CabOpenTruncate == _O_TRUNC &&
                  CabOpenExclusive == _O_EXCL, "creation flags");
static_assert(CabOpenSequential == _O_SEQUENTIAL && CabOpenTemporary == _O_TEMPORARY, "hint flags");
static_assert(CabOpenText == _O_TEXT && CabOpenBinary == _O_BINARY, "translation flags");
static_assert(CabModeRead == _S_IREAD && CabModeWrite == _S_IWRITE, "permission modes");

HWND progressWindow;
char targetDir[pathChars];
int replaceChoice;
char promptText[pathChars];

namespace {

// The cabinet is only probed through this descriptor.
const int32_t probeOpenFlags = CabOpenReadOnly | CabOpenBinary | CabOpenSequential;  // 0x8020
// An output file. Truncation is asked for although the old file was deleted
// just before: a file that survived the deletion but opens for writing must
// not keep a tail of its old contents behind the new bytes.
const int32_t outputOpenFlags =
    CabOpenCreate | CabOpenTruncate | CabOpenWriteOnly | CabOpenBinary | CabOpenSequential;  // 0x8321
const int32_t outputOpenMode = CabModeRead | CabModeWrite;                                  // 0x180
// Read-only, hidden, system and archive; every other stored bit is dropped.
const DWORD keptAttributes = 0x27;

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

void ShowPrompt(int dialogId, const char* path) {
    CopyText(promptText, sizeof promptText, path);
    DialogBoxParamA(instanceHandle, MAKEINTRESOURCEA(dialogId), progressWindow, FilePromptProc, 0);
}

// Creates every folder that name's separators close, beneath targetDir.
void CreateFoldersOf(const char* name) {
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p != '\\' && *p != '/') continue;
        char folder[pathChars];
        if (!CopyText(folder, sizeof folder, targetDir)) return;
        size_t used = strlen(folder);
        size_t length = static_cast<size_t>(p - name);
        if (used + length + 1 > sizeof folder) return;
        memcpy(folder + used, name, length);
        folder[used + length] = '\0';
        CreateDirectoryA(folder, nullptr);
    }
}

int32_t OpenOutput(CabNotice* notice) {
    const char* name = notice->text1;
    if (!IsSafeCabinetName(name)) return 0;
    char targetPath[pathChars];
    if (!FormatText(targetPath, sizeof targetPath, "%s%s", targetDir, name)) return 0;
    SetDlgItemTextA(progressWindow, ItemStatus, name);
    CreateFoldersOf(name);
    if (Exists(targetPath)) {
        if (replaceChoice == SkipAll) return 0;
        if (replaceChoice != ReplaceAll) {
            ShowPrompt(ResDialogReplace, targetPath);
            if (StopRequested()) return -1;
            if (replaceChoice == SkipOne || replaceChoice == SkipAll) return 0;
        }
    }
    DeleteFileA(targetPath);  // fails harmlessly when nothing is there
    if (Exists(targetPath)) {
        ShowPrompt(ResDialogDeleteError, targetPath);
        if (StopRequested()) return -1;
    }
    return _open(targetPath, outputOpenFlags, outputOpenMode);
}

// Sets creation and last-write time from the stored DOS date and time,
// taken as local time; failures leave the times as they are.
void StampFileTime(const char* path, WORD dosDate, WORD dosTime) {
    AutoCloseHandle file(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return;
    FILETIME local;
    FILETIME utc;
    if (DosDateTimeToFileTime(dosDate, dosTime, &local) && LocalFileTimeToFileTime(&local, &utc)) {
        SetFileTime(file.Get(), &utc, nullptr, &utc);
    }
}

int32_t CloseOutput(CabNotice* notice) {
    _close(notice->handle);
    char targetPath[pathChars];
    // The same text that OpenOutput accepted, so it fits.
    if (!FormatText(targetPath, sizeof targetPath, "%s%s", targetDir, notice->text1)) return 1;
    StampFileTime(targetPath, notice->date, notice->time);
    SetFileAttributesA(targetPath, notice->attributes & keptAttributes);
    return 1;
}

}  // namespace

void* CabIoAlloc(uint32_t sizeBytes) { return malloc(sizeBytes); }

void CabIoFree(void* block) { free(block); }

int32_t CabIoOpen(const char* path, int32_t flags, int32_t mode) {
    if (StopRequested()) return -1;
    // No name has a special meaning: the paged Quantum window's "*" fails.
    return _open(path, flags, mode);
}

int32_t CabIoRead(int32_t handle, void* buffer, uint32_t count) {
    if (StopRequested()) return -1;
    return _read(handle, buffer, count);
}

int32_t CabIoWrite(int32_t handle, const void* buffer, uint32_t count) {
    if (StopRequested()) return -1;
    return _write(handle, buffer, count);
}

int32_t CabIoClose(int32_t handle) { return _close(handle); }

int32_t CabIoSeek(int32_t handle, int32_t offset, int32_t origin) {
    return static_cast<int32_t>(_lseek(handle, offset, origin));
}

int32_t HandleCabinetNotice(int32_t type, CabNotice* notice) {
    if (StopRequested()) return -1;
    switch (type) {
    case NoticeOpenOutput:
        // A windowed program's standard output goes nowhere; kept for a
        // console that may be attached.
        fputc('\n', stdout);
        return OpenOutput(notice);
    case NoticeCloseOutput:
        return CloseOutput(notice);
    case NoticeNextCabinet:
        // A failed attempt is not retried (the decoder would ask for ever),
        // and a next cabinet must lie beside the current one.
        if (notice->error != 0 || !IsPlainCabinetName(notice->text1)) return -1;
        return 0;
    default:
        return 0;
    }
}

int ExtractCabinetFile(const char* cabinetFilePath, const char* targetFolder, HWND window) {
    progressWindow = window;
    if (!CopyText(targetDir, sizeof targetDir, targetFolder)) return 0;
    // The decoder's limit for a folder joined with a cabinet name.
    if (strlen(cabinetFilePath) > cabMaxPathChars) return 0;
    char cabinetFolder[pathChars];
    char cabinetName[pathChars];
    if (!SplitFullPath(cabinetFilePath, cabinetFolder, sizeof cabinetFolder, cabinetName, sizeof cabinetName)) {
        return 0;
    }

    CabError error;
    memset(&error, 0, sizeof error);
    CabDecoder* decoder =
        CabDecoderCreate(CabIoAlloc, CabIoFree, CabIoOpen, CabIoRead, CabIoWrite, CabIoClose, CabIoSeek, &error);
    activeDecoder = decoder;
    if (decoder == nullptr) return 0;

    int descriptor = _open(cabinetFilePath, probeOpenFlags, 0);
    int isCabinet = 0;
    if (descriptor != -1) {
        activeCabinetFile = descriptor;
        CabInfo info;
        isCabinet = CabDecoderProbe(decoder, descriptor, &info);
        _close(descriptor);
        activeCabinetFile = 0;
    }
    int extracted = 0;
    if (isCabinet) {
        extracted = CabDecoderExtract(decoder, cabinetName, cabinetFolder, HandleCabinetNotice, nullptr, nullptr);
    }
    CabDecoderDestroy(decoder);
    activeDecoder = nullptr;
    return extracted == 1;
}
