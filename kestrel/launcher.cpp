// launcher.cpp: starting the configured programs after the extraction.
//
// Program n is string-table entry 199 + n in the work folder, with entry
// 299 + n as its argument text, which "/n:" on the package's command line
// replaces and whose tokens are resolved (tokens.h). An ".exe" is started
// directly; any other file through its file association. Unless told
// "<nowait>", the launcher waits for each program to end and then deletes
// its file, trying for at most deleteAttempts seconds before it goes on.
//
// Texts that do not fit their buffers are refused, not cut: a program whose
// path, argument text or command line would not fit is not started and is
// reported as a failed launch.
#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "association_command.h"
#include "auto_close.h"
#include "command_line.h"
#include "config_rules.h"
#include "front_end.h"
#include "launcher.h"
#include "package_state.h"
#include "text_buffer.h"
#include "tokens.h"

namespace {

const DWORD pollMs = 1000;
// After a program has ended, its file's deletion is tried this many times,
// pollMs apart; a file that stays (read-only, locked) does not hold up the
// next program.
const int deleteAttempts = 10;
const UINT programEntryBase = 199;
const UINT argumentEntryBase = 299;

int FileExistsTest(const char* path, void*) { return FileExists(path); }

void LoadEntry(UINT id, char* text, int capacity) {
    if (LoadStringA(instanceHandle, id, text, capacity) <= 0) text[0] = '\0';
}

void ReportLaunchFailure(const char* programPath) {
    char message[pathChars];
    FormatText(message, sizeof message, "Error in launching %s", programPath);
    MessageBoxA(nullptr, message, "Error", MB_OK);
}

// Waits until the program has ended, then deletes its file.
void WaitAndDelete(HANDLE process, const char* programPath) {
    while (WaitForSingleObject(process, pollMs) == WAIT_TIMEOUT) {
    }
    for (int attempt = 1; attempt <= deleteAttempts; ++attempt) {
        if (DeleteFileA(programPath) || GetLastError() == ERROR_FILE_NOT_FOUND) return;
        if (attempt < deleteAttempts) Sleep(pollMs);
    }
}

// Starts program number n; returns its process, or null when it could not
// be started. *nowait tells whether it is to be waited for.
HANDLE StartProgram(int n, const char* commandLine, char* programPath, int* nowait) {
    *nowait = 0;
    char fileName[pathChars];
    char arguments[pathChars];
    LoadEntry(programEntryBase + n, fileName, sizeof fileName);
    LoadEntry(argumentEntryBase + n, arguments, sizeof arguments);
    int fits = FormatText(programPath, pathChars, "%s%s", workDir, fileName);
    fits = fits && ApplyArgumentOverride(commandLine, n, arguments, sizeof arguments) != TextRefused;
    fits = fits && ResolveArgumentTokens(arguments, sizeof arguments, exeDir, workDir, nowait);
    // The extension is lower-cased in place: the message and the deletion
    // see it so too.
    LowerCaseAscii(PathExtension(programPath));
    if (!fits) return nullptr;

    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof process);
    BOOL started;
    if (strcmp(PathExtension(programPath), ".exe") == 0) {
        started = CreateProcessA(programPath, arguments, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &process);
    } else {
        char associated[associationTextChars];
        BuildAssociationCommand(programPath, associated, arguments);
        started = associated[0] != '\0' && CreateProcessA(nullptr, associated, nullptr, nullptr, FALSE, 0, nullptr,
                                                          nullptr, &startup, &process);
    }
    if (!started || process.hProcess == nullptr) return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

}  // namespace

int FileExists(const char* path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    FindClose(search);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

int ReadMachineKeyDefault(const char* keyPath, char* buffer) {
    buffer[0] = '\0';
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
    // One byte is kept back for a NUL: a value stored without its own (or a
    // binary one) is terminated here.
    DWORD size = associationTextChars - 1;
    DWORD type = 0;
    LONG status = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || size > associationTextChars - 1) {
        buffer[0] = '\0';
        return 0;
    }
    buffer[size] = '\0';
    return buffer[0] != '\0';
}

void BuildAssociationCommand(const char* file, char* commandLine, const char* arguments) {
    commandLine[0] = '\0';
    char keyPath[associationTextChars];
    char className[associationTextChars];
    char verb[associationTextChars];
    char windowsDir[associationTextChars];
    bool found = FormatText(keyPath, sizeof keyPath, "SOFTWARE\\Classes\\%s", PathExtension(file)) &&
                 ReadMachineKeyDefault(keyPath, className) &&
                 FormatText(keyPath, sizeof keyPath, "SOFTWARE\\Classes\\%s\\shell", className) &&
                 ReadMachineKeyDefault(keyPath, verb) && AppendText(keyPath, sizeof keyPath, "\\") &&
                 AppendText(keyPath, sizeof keyPath, verb) && AppendText(keyPath, sizeof keyPath, "\\command") &&
                 ReadMachineKeyDefault(keyPath, commandLine);
    if (found) {
        QuotesToBlanks(commandLine);
        UINT length = GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
        if (length == 0 || length >= sizeof windowsDir) windowsDir[0] = '\0';
        if (ExpandSystemRoot(commandLine, associationTextChars, windowsDir)) {
            size_t programLength = FindProgramPart(commandLine, FileExistsTest, nullptr);
            const char* placeholder = programLength > 0 ? FindPlaceholder(commandLine, programLength - 1) : nullptr;
            char composed[associationTextChars];
            if (placeholder != nullptr &&
                ComposeAssociationCommand(composed, sizeof composed, commandLine, programLength, placeholder, file,
                                          arguments)) {
                CopyText(commandLine, associationTextChars, composed);
                return;
            }
        }
    }
    // The shell's own lookup of the program for this document.
    commandLine[0] = '\0';
    char result[associationTextChars];
    memset(result, 0, sizeof result);
    HINSTANCE lookup = FindExecutableA(file, nullptr, result);
    if (reinterpret_cast<INT_PTR>(lookup) <= 32) return;
    ComposeExecutableCommand(commandLine, associationTextChars, result, sizeof result, file, arguments);
}

void RunConfiguredPrograms() {
    int programCount = ReadNumber(packageConfig.programCount);
    if (programCount <= 0) return;
    // The overrides are looked for in the whole line: a cut copy could cut
    // an argument text.
    const char* commandLine = GetCommandLineA();
    for (int n = 1; n <= programCount; ++n) {
        char programPath[pathChars];
        int nowait = 0;
        HANDLE process = StartProgram(n, commandLine, programPath, &nowait);
        if (process == nullptr) {
            ReportLaunchFailure(programPath);
            continue;
        }
        AutoCloseHandle processOwner(process);
        if (!nowait) WaitAndDelete(process, programPath);
    }
}
