// press_cancel.cpp: waits for kestrel's progress dialog, reports its texts,
// and cancels the run once a file is being extracted, as the Escape key
// does (IDCANCEL). For the Wine test of the Cancel sequence.
//
//   kestrel-press-cancel.exe TITLE TIMEOUT_MS
//
// Prints "title=", "top=", "middle=", "status=" lines and "cancelled", and
// exits 0; exits 1 when no dialog with a file name showed up in time.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const int statusItem = 1006;
const int middleItem = 1007;
const int topItem = 1008;
const DWORD pollMs = 20;

struct Search {
    const char* title;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM context) {
    Search* search = reinterpret_cast<Search*>(context);
    char className[64], title[128];
    if (GetClassNameA(window, className, sizeof className) == 0) return TRUE;
    if (strcmp(className, "#32770") != 0) return TRUE;
    if (GetWindowTextA(window, title, sizeof title) == 0) return TRUE;
    if (strcmp(title, search->title) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: kestrel-press-cancel TITLE TIMEOUT_MS\n");
        return 2;
    }
    DWORD deadline = GetTickCount() + static_cast<DWORD>(strtoul(argv[2], nullptr, 10));
    while (static_cast<LONG>(GetTickCount() - deadline) < 0) {
        Search search = {argv[1], nullptr};
        EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            char status[260] = "";
            GetDlgItemTextA(search.found, statusItem, status, sizeof status);
            // A file name, not a checksum progress text: extraction is under way.
            if (status[0] != '\0' && strncmp(status, "CRC:", 4) != 0) {
                char title[128] = "", top[128] = "", middle[128] = "";
                GetWindowTextA(search.found, title, sizeof title);
                GetDlgItemTextA(search.found, topItem, top, sizeof top);
                GetDlgItemTextA(search.found, middleItem, middle, sizeof middle);
                printf("title=%s\ntop=%s\nmiddle=%s\nstatus=%s\n", title, top, middle, status);
                PostMessageA(search.found, WM_COMMAND, IDCANCEL, 0);
                printf("cancelled\n");
                return 0;
            }
        }
        Sleep(pollMs);
    }
    printf("no dialog\n");
    return 1;
}
