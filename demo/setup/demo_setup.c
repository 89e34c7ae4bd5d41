/* demo_setup.c: the demo package's setup program. It shows no window; it writes
 * its command line, its own path and its current folder to a short log, so the
 * demo can show what kestrel handed to it. The log goes to the file that the
 * environment variable KESTREL_DEMO_LOG names, else to demo-setup.log in the
 * Windows temporary folder. */
#include <windows.h>

static void WriteLine(HANDLE file, const char* label, const char* text) {
    DWORD written;
    WriteFile(file, label, lstrlenA(label), &written, NULL);
    WriteFile(file, text, lstrlenA(text), &written, NULL);
    WriteFile(file, "\r\n", 2, &written, NULL);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandTail, int showCommand) {
    char logPath[MAX_PATH];
    char folder[MAX_PATH];
    char ownPath[MAX_PATH];
    (void)instance; (void)previous; (void)commandTail; (void)showCommand;

    DWORD length = GetEnvironmentVariableA("KESTREL_DEMO_LOG", logPath, sizeof logPath);
    if (length == 0 || length >= sizeof logPath) {
        length = GetTempPathA(sizeof logPath - 16, logPath);
        if (length == 0 || length >= sizeof logPath - 16) return 1;
        lstrcatA(logPath, "demo-setup.log");
    }
    length = GetCurrentDirectoryA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder) lstrcpyA(folder, "?");

    length = GetModuleFileNameA(NULL, ownPath, sizeof ownPath);
    if (length == 0 || length >= sizeof ownPath) lstrcpyA(ownPath, "?");

    HANDLE file = CreateFileA(logPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 1;
    WriteLine(file, "demo setup started\r\ncommand line: ", GetCommandLineA());
    WriteLine(file, "started from: ", ownPath);
    WriteLine(file, "current folder: ", folder);
    CloseHandle(file);
    return 0;
}
