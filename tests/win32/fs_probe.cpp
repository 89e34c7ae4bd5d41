// fs_probe.cpp: runs DirEntry and RemoveWorkFolder on request and prints what
// they saw, for the Wine tests of the file helpers.
//
//   kestrel-fs-probe.exe COMMANDFILE
//
// Each line of COMMANDFILE is one command, its fields separated by "|"
// (paths may hold blanks and tabs):
//   entry|PATH                      kind, size and reparse flag of PATH
//   list|PATH                       the names ListChildren gives, the kind of
//                                   each child, and ChildAt past the end
//   remove|WORKDIR|WORKDIRBARE|EXEDIR   RemoveWorkFolder with those paths
//   attrib|PATH|HEX                 SetFileAttributesA, then the attributes read back
//   delete|PATH, rmdir|PATH         DeleteFileA, RemoveDirectoryA and their results
//   format|CAPACITY|TEXT            FormatText with the system runtime's
//                                   formatter into a guarded buffer
// Each command prints one line that starts with its line number.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dir_entry.h"
#include "front_end.h"
#include "package_state.h"
#include "text_buffer.h"

namespace {

const int maxFields = 4;

// Splits line at "|" in place; returns the number of fields.
int SplitFields(char* line, char* fields[maxFields]) {
    int count = 0;
    char* p = line;
    fields[count++] = p;
    while (*p != '\0' && count < maxFields) {
        if (*p == '|') {
            *p = '\0';
            fields[count++] = p + 1;
        }
        ++p;
    }
    return count;
}

void PrintEntry(int number, const char* path) {
    DirEntry entry(path);
    printf("%d entry kind=%d size=%lu reparse=%d path=[%s]\n", number, entry.GetKind(),
           static_cast<unsigned long>(entry.GetSize()), entry.IsReparsePoint(), entry.GetPath());
}

void PrintList(int number, const char* path) {
    DirEntry entry(path);
    entry.ListChildren();
    printf("%d list count=%d", number, entry.GetChildCount());
    for (int i = 0; i < entry.GetChildCount(); ++i) {
        DirEntry* child = entry.ChildAt(i);
        const char* slash = child != nullptr ? strrchr(child->GetPath(), '\\') : nullptr;
        printf(" %s:%d", slash != nullptr ? slash + 1 : "?", child != nullptr ? child->GetKind() : -1);
        delete child;
    }
    DirEntry* past = entry.ChildAt(entry.GetChildCount());
    printf(" past=%s\n", past == nullptr ? "none" : "some");
    delete past;
    entry.ClearChildren();
    if (entry.GetChildCount() != 0 || entry.ChildAt(0) != nullptr) printf("%d clear failed\n", number);
}

void RunRemove(int number, const char* work, const char* bare, const char* own) {
    CopyText(workDir, sizeof workDir, work);
    CopyText(workDirBare, sizeof workDirBare, bare);
    CopyText(exeDir, sizeof exeDir, own);
    RemoveWorkFolder();
    printf("%d remove done\n", number);
}

void SetAttributes(int number, const char* path, const char* hex) {
    DWORD wanted = static_cast<DWORD>(strtoul(hex, nullptr, 16));
    BOOL ok = SetFileAttributesA(path, wanted);
    printf("%d attrib ok=%d now=%lx\n", number, ok ? 1 : 0, static_cast<unsigned long>(GetFileAttributesA(path)));
}

void FormatIntoGuardedBuffer(int number, const char* capacityText, const char* text) {
    const char guard = '#';
    char buffer[64];
    memset(buffer, guard, sizeof buffer);
    size_t capacity = strtoul(capacityText, nullptr, 10);
    if (capacity == 0 || capacity > 32) capacity = 32;
    int whole = FormatText(buffer, capacity, "[%s]", text);
    int guardsIntact = 1;
    for (size_t i = capacity; i < sizeof buffer; ++i) {
        if (buffer[i] != guard) guardsIntact = 0;
    }
    printf("%d format whole=%d guards=%d text=%s\n", number, whole, guardsIntact, buffer);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: kestrel-fs-probe COMMANDFILE\n");
        return 2;
    }
    FILE* commands = fopen(argv[1], "rb");
    if (commands == nullptr) {
        fprintf(stderr, "cannot open %s\n", argv[1]);
        return 2;
    }
    char line[1024];
    int number = 0;
    while (fgets(line, sizeof line, commands) != nullptr) {
        ++number;
        line[strcspn(line, "\r\n")] = '\0';
        char* fields[maxFields];
        int count = SplitFields(line, fields);
        if (strcmp(fields[0], "entry") == 0 && count == 2) {
            PrintEntry(number, fields[1]);
        } else if (strcmp(fields[0], "list") == 0 && count == 2) {
            PrintList(number, fields[1]);
        } else if (strcmp(fields[0], "attrib") == 0 && count == 3) {
            SetAttributes(number, fields[1], fields[2]);
        } else if (strcmp(fields[0], "delete") == 0 && count == 2) {
            BOOL ok = DeleteFileA(fields[1]);
            printf("%d delete ok=%d error=%lu\n", number, ok ? 1 : 0, ok ? 0ul : GetLastError());
        } else if (strcmp(fields[0], "rmdir") == 0 && count == 2) {
            BOOL ok = RemoveDirectoryA(fields[1]);
            printf("%d rmdir ok=%d error=%lu\n", number, ok ? 1 : 0, ok ? 0ul : GetLastError());
        } else if (strcmp(fields[0], "format") == 0 && count == 3) {
            FormatIntoGuardedBuffer(number, fields[1], fields[2]);
        } else if (strcmp(fields[0], "remove") == 0 && count == 4) {
            RunRemove(number, fields[1], fields[2], fields[3]);
        } else {
            printf("%d unknown\n", number);
        }
        fflush(stdout);
    }
    fclose(commands);
    return 0;
}
