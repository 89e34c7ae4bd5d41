/* sample_setup.c: a tiny setup program for the tests and the demo.
 *
 * It appends a record of what it received to a log: the file named by the
 * environment variable KESTREL_SAMPLE_LOG, or "sample_setup.log" beside
 * itself. A record is the lines
 *     start <its own path>
 *     args <its command line>
 *     cwd <its current folder>
 *     end
 * KESTREL_SAMPLE_SLEEP_MS makes it wait that long before "end", and
 * KESTREL_SAMPLE_EXIT sets its exit code. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void AppendLine(const char *logPath, const char *tag, const char *text) {
    FILE *log = fopen(logPath, "ab");
    if (log == NULL) return;
    fprintf(log, "%s %s\r\n", tag, text);
    fclose(log);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    char ownPath[MAX_PATH];
    char logPath[MAX_PATH];
    char folder[MAX_PATH];
    char *slash;
    const char *sleepText;
    const char *exitText;
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    GetModuleFileNameA(NULL, ownPath, sizeof ownPath);
    if (GetEnvironmentVariableA("KESTREL_SAMPLE_LOG", logPath, sizeof logPath) == 0) {
        snprintf(logPath, sizeof logPath, "%s", ownPath);
        slash = strrchr(logPath, '\\');
        if (slash != NULL) slash[1] = '\0';
        strncat(logPath, "sample_setup.log", sizeof logPath - strlen(logPath) - 1);
    }
    GetCurrentDirectoryA(sizeof folder, folder);
    AppendLine(logPath, "start", ownPath);
    AppendLine(logPath, "args", GetCommandLineA());
    AppendLine(logPath, "cwd", folder);
    sleepText = getenv("KESTREL_SAMPLE_SLEEP_MS");
    if (sleepText != NULL) Sleep((DWORD)atoi(sleepText));
    AppendLine(logPath, "end", "");
    exitText = getenv("KESTREL_SAMPLE_EXIT");
    return exitText != NULL ? atoi(exitText) : 0;
}
