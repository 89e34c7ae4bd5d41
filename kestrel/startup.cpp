// startup.cpp: the entry of kestrel.exe.
//
// Reads the package settings from the string table, finds the running file,
// and does exactly one of: nothing (a disabled package or an unreadable
// marker), one step of the replacement chain ("/copy:", "/delete:"), one
// marker command ("/crc:on", "/crc:off", "/crc:recal"), or an extraction run
// under the hidden main window. The exit code is 0 on every path.
//
// The command line is copied into a buffer of pathChars characters. A longer
// line is cut for the option tests; the two chain steps, whose argument is a
// path, refuse a cut line (a cut path could name another file) and end
// without copying, deleting or starting anything.
#include <cstring>

#include "checksum.h"
#include "command_line.h"
#include "config_rules.h"
#include "front_end.h"
#include "package_layout.h"
#include "package_state.h"
#include "resource.h"
#include "text_buffer.h"

// Starts path with the option text alone as its command line; nothing waits.
int StartChainStep(const char* path, char* optionText) {
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(path, optionText, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return 0;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 1;
}

namespace {

const DWORD chainPauseMs = 1000;
const char copyOption[] = "/copy:";
const char deleteOption[] = "/delete:";

// Loads one string-table entry into a field of the given capacity; an absent
// entry leaves the field empty. LoadStringA cuts and terminates.
void LoadEntry(UINT id, char* field, int capacity) {
    field[0] = '\0';
    if (LoadStringA(instanceHandle, id, field, capacity) <= 0) field[0] = '\0';
}

// Only the system folder is searched for DLLs that load at run time. Looked
// up by name: older kernel32 versions do not have it.
void RestrictDllSearch() {
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr) return;
    FARPROC found = GetProcAddress(kernel, "SetDefaultDllDirectories");
    if (found == nullptr) return;
    SetDefaultDllDirectoriesFn setDirectories;
    memcpy(&setDirectories, &found, sizeof setDirectories);
    setDirectories(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
}

// Running as the patched copy: copy it over the package named by argument
// (a name in exeDir) and start the package with "/delete:" and our path.
void CopyBackStep(const char* argument) {
    char target[pathChars];
    char deleteLine[pathChars];
    if (!FormatText(target, sizeof target, "%s%s", exeDir, argument)) return;
    if (!FormatText(deleteLine, sizeof deleteLine, "%s%s", deleteOption, exePath)) return;
    Sleep(chainPauseMs);
    CopyFileA(exePath, target, FALSE);
    StartChainStep(target, deleteLine);
}

// Running as the patched package: remove the copy once it has ended.
void DeleteStep(const char* argument) {
    Sleep(chainPauseMs);
    DeleteFileA(argument);
}

int RunMessageLoop() {
    HACCEL accelerators = LoadAcceleratorsA(instanceHandle, MAKEINTRESOURCEA(ResMenuMain));
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (accelerators != nullptr && TranslateAcceleratorA(message.hwnd, accelerators, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

// One of the three marker commands, when the line holds one; returns only
// when none applies or the rewrite failed.
void RunMarkerCommand(const char* line) {
    if (HasOption(line, "/crc:on")) {
        markerText[markerStatePosition] = '1';
    } else if (HasOption(line, "/crc:off")) {
        markerText[markerStatePosition] = '0';
    } else if (HasOption(line, "/crc:recal")) {
        char digits[checksumDigitChars];
        if (!ComputePackageChecksum(digits, nullptr)) ExitProcess(0);
        FormatText(markerText, sizeof markerText, "CRC1,0x%s", digits);
    } else {
        return;
    }
    RewriteIntegrityMarker(markerText);
    ExitProcess(0);
}

}  // namespace

void LoadPackageConfig() {
    PackageConfig& c = packageConfig;
    LoadEntry(StringCleanupWorkDir, c.cleanupWorkDir, sizeof c.cleanupWorkDir);
    LoadEntry(StringStubSize, c.stubSize, sizeof c.stubSize);
    LoadEntry(StringShowProgress, c.showProgress, sizeof c.showProgress);
    LoadEntry(StringExtractInPlace, c.extractInPlace, sizeof c.extractInPlace);
    LoadEntry(StringAdditionalCabinets, c.additionalCabinets, sizeof c.additionalCabinets);
    LoadEntry(StringPartBaseName, c.partBaseName, sizeof c.partBaseName);
    LoadEntry(StringProgramCount, c.programCount, sizeof c.programCount);
    LoadEntry(StringSplitPartCount, c.splitPartCount, sizeof c.splitPartCount);
    LoadEntry(StringPayloadSizeEcho, c.payloadSizeEcho, sizeof c.payloadSizeEcho);
    LoadEntry(StringPayloadSize, c.payloadSize, sizeof c.payloadSize);
    LoadEntry(StringOptionalCabinets, c.optionalCabinets, sizeof c.optionalCabinets);
    LoadEntry(StringAskForFolder, c.askForFolder, sizeof c.askForFolder);
    LoadEntry(StringBrowseTitle, c.browseTitle, sizeof c.browseTitle);
}

void FindOwnPaths() {
    exePath[0] = exeName[0] = exeDir[0] = '\0';
    // A module path that fills the whole buffer may have been cut: refused,
    // so that no path is formed from it.
    DWORD length = GetModuleFileNameA(nullptr, exePath, pathChars);
    if (length == 0 || length >= static_cast<DWORD>(pathChars)) {
        exePath[0] = '\0';
        return;
    }
    char fullPath[pathChars];
    char* namePart = nullptr;
    length = GetFullPathNameA(exePath, pathChars, fullPath, &namePart);
    if (length == 0 || length >= static_cast<DWORD>(pathChars)) return;
    char* slash = strrchr(fullPath, '\\');
    if (slash == nullptr) return;
    CopyText(exeName, sizeof exeName, slash + 1);
    slash[1] = '\0';
    CopyText(exeDir, sizeof exeDir, fullPath);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    RestrictDllSearch();
    instanceHandle = instance;
    LoadEntry(StringWindowTitle, mainWindowTitle, sizeof mainWindowTitle);
    LoadEntry(StringWindowTitle, mainWindowClass, sizeof mainWindowClass);
    LoadPackageConfig();
    FindOwnPaths();
    if (ReadNumber(packageConfig.stubSize) <= 0) return 0;
    if (exePath[0] == '\0' || exeDir[0] == '\0') return 0;

    char line[pathChars];
    int lineWhole = CopyText(line, sizeof line, GetCommandLineA());

    if (const char* argument = OptionArgument(line, copyOption)) {
        if (lineWhole) CopyBackStep(argument);
        return 0;
    }
    if (const char* argument = OptionArgument(line, deleteOption)) {
        if (lineWhole) DeleteStep(argument);
        return 0;
    }

    LowerCaseAscii(line);
    if (HasOption(line, "/decom")) {
        CopyText(packageConfig.showProgress, sizeof packageConfig.showProgress, "0");
        CopyText(packageConfig.cleanupWorkDir, sizeof packageConfig.cleanupWorkDir, "0");
        CopyText(packageConfig.extractInPlace, sizeof packageConfig.extractInPlace, "1");
    }
    if (HasOption(line, "/hidemsg")) {
        CopyText(packageConfig.showProgress, sizeof packageConfig.showProgress, "0");
    }
    if (!ReadIntegrityMarker(markerText)) return 0;
    RunMarkerCommand(line);

    RegisterMainWindowClass(instance);
    if (!CreateMainWindow(instance)) return 0;
    return RunMessageLoop();
}
