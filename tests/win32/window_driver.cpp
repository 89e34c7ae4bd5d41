// window_driver.cpp: drives kestrel's windows for the Wine tests.
//
// A console program that runs beside kestrel under Wine and works through
// the steps on its command line, printing one line per observation for the
// Python test to check. The current window is the last one found.
//
//   find:TITLE         wait for a visible top-level window with this exact
//                      title and make it current; prints "found TITLE"
//   title              prints "title TEXT" of the current window
//   text:ID            prints "text ID=TEXT" of control ID of the current window
//   children           prints "child ID CLASS=TEXT" for every child window
//   settext:ID:TEXT    sets the text of control ID
//   click:ID           presses button ID (BM_CLICK, answered by the window's
//                      own thread); pressed again every second while the
//                      window stays, since a press that arrives before the
//                      window's modal loop runs can be lost
//   command:ID         posts WM_COMMAND with ID to the current window
//   escape             posts the Escape key to the window with the focus,
//                      again every second while the window stays
//   watch:ID           records every distinct text of control ID, polling,
//                      until the window is gone; prints "status TEXT" each
//   watch-for:ID:TEXT  as watch, but returns once TEXT occurs in the text
//   gone               wait until the current window is gone or hidden
//   sleep:MS           waits MS milliseconds
//   stdin              waits for a line on standard input (screenshots)
//   attributes:PATH    prints "attributes PATH=0xHEX" (GetFileAttributesA)
//   times:PATH         prints "times PATH=CREATED WRITTEN", each the UTC
//                      FILETIME as seconds since 1970
//   tree-root          selects the root item of the current window's tree
//                      view (a folder browser's Desktop); prints "tree-root
//                      selected" or "tree-root missing"
//   dacl:PATH          prints "dacl PATH=PROTECTED SID,SID,..." (the string
//                      SIDs of the access-allowed entries) or "dacl PATH=none"
//
// Any wait gives up after --timeout MS (default 60000) and prints
// "timeout STEP", ending the program with exit code 2.
#include <windows.h>
#include <commctrl.h>
#include <sddl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

DWORD timeoutMs = 60000;
const DWORD pollMs = 2;

struct FindRequest {
    const char* title;
    HWND found;
};

BOOL CALLBACK MatchTitle(HWND window, LPARAM parameter) {
    FindRequest* request = reinterpret_cast<FindRequest*>(parameter);
    if (!IsWindowVisible(window)) return TRUE;
    char text[512];
    GetWindowTextA(window, text, sizeof text);
    if (strcmp(text, request->title) != 0) return TRUE;
    request->found = window;
    return FALSE;
}

HWND FindVisibleWindow(const char* title) {
    FindRequest request = {title, nullptr};
    EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&request));
    return request.found;
}

std::string ControlText(HWND window, int id) {
    HWND control = GetDlgItem(window, id);
    if (control == nullptr) return "<no control>";
    char text[1024];
    text[0] = '\0';
    // WM_GETTEXT answers across processes; GetDlgItemText would too.
    SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    return text;
}

// Control texts on one line: line breaks are shown as "\n".
void PrintLine(const char* tag, const std::string& text) {
    std::string shown;
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            shown += "\\n";
        } else {
            shown += c;
        }
    }
    printf("%s%s\n", tag, shown.c_str());
    fflush(stdout);
}

bool Alive(HWND window) { return IsWindow(window) && IsWindowVisible(window); }

[[noreturn]] void TimedOut(const char* step) {
    printf("timeout %s\n", step);
    fflush(stdout);
    exit(2);
}

BOOL CALLBACK FindTreeView(HWND child, LPARAM parameter) {
    char className[128];
    GetClassNameA(child, className, sizeof className);
    if (strcmp(className, WC_TREEVIEWA) != 0) return TRUE;
    *reinterpret_cast<HWND*>(parameter) = child;
    return FALSE;
}

// Tree items are handles, so this works from another process; item texts
// would need a pointer into kestrel's memory and are not read.
bool SelectTreeRoot(HWND window) {
    HWND tree = nullptr;
    EnumChildWindows(window, FindTreeView, reinterpret_cast<LPARAM>(&tree));
    if (tree == nullptr) return false;
    LRESULT root = SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    if (root == 0) return false;
    return SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, root) != 0;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
    char className[128];
    GetClassNameA(child, className, sizeof className);
    char text[512];
    text[0] = '\0';
    SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    char tag[200];
    snprintf(tag, sizeof tag, "child %d %s=", GetDlgCtrlID(child), className);
    PrintLine(tag, text);
    return TRUE;
}

// Polls control id of window; prints each text that differs from the last
// one. Returns true when want (if any) occurred, false when the window went.
bool Watch(HWND window, int id, const char* want, const char* step) {
    std::string last = "\x01";
    DWORD start = GetTickCount();
    while (Alive(window)) {
        std::string text = ControlText(window, id);
        if (text != last) {
            PrintLine("status ", text);
            last = text;
        }
        if (want != nullptr && text.find(want) != std::string::npos) return true;
        if (GetTickCount() - start > timeoutMs) TimedOut(step);
        Sleep(pollMs);
    }
    return false;
}

void PostEscape(HWND window) {
    GUITHREADINFO info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    HWND target = window;
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    if (GetGUIThreadInfo(thread, &info) && info.hwndFocus != nullptr) target = info.hwndFocus;
    PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(target, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0010001u));
}

long long UnixSeconds(const FILETIME& time) {
    unsigned long long ticks = (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<long long>(ticks / 10000000ull) - 11644473600ll;
}

void PrintTimes(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        printf("times %s=none\n", path);
        return;
    }
    FILETIME created, accessed, written;
    GetFileTime(file, &created, &accessed, &written);
    CloseHandle(file);
    printf("times %s=%lld %lld\n", path, UnixSeconds(created), UnixSeconds(written));
}

void PrintDacl(const char* path) {
    DWORD needed = 0;
    SECURITY_INFORMATION wanted = DACL_SECURITY_INFORMATION;
    GetFileSecurityA(path, wanted, nullptr, 0, &needed);
    std::string buffer(needed + 16, '\0');
    PSECURITY_DESCRIPTOR descriptor = &buffer[0];
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    if (needed == 0 || !GetFileSecurityA(path, wanted, descriptor, needed, &needed) ||
        !GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted) || !present || acl == nullptr) {
        printf("dacl %s=none\n", path);
        return;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    std::string sids;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace)) continue;
        ACE_HEADER* header = static_cast<ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            sids += "other,";
            continue;
        }
        char* text = nullptr;
        if (ConvertSidToStringSidA(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart, &text)) {
            sids += text;
            sids += ",";
            LocalFree(text);
        }
    }
    printf("dacl %s=%s %s\n", path, (control & SE_DACL_PROTECTED) ? "protected" : "inherited", sids.c_str());
}

}  // namespace

// Repeats press every second until window is gone or hidden.
template <typename Press>
void PressUntilGone(HWND window, Press press, const char* step) {
    DWORD start = GetTickCount();
    while (Alive(window)) {
        press();
        DWORD pressed = GetTickCount();
        while (Alive(window) && GetTickCount() - pressed < 1000) Sleep(pollMs);
        if (GetTickCount() - start > timeoutMs) TimedOut(step);
    }
}

int main(int argc, char** argv) {
    HWND current = nullptr;
    // The test starts kestrel only after this line, so that no early
    // status text is missed.
    PrintLine("ready", "");
    for (int i = 1; i < argc; ++i) {
        const char* step = argv[i];
        std::string s = step;
        size_t colon = s.find(':');
        std::string verb = s.substr(0, colon);
        std::string rest = colon == std::string::npos ? "" : s.substr(colon + 1);
        if (verb == "--timeout" && i + 1 < argc) {
            timeoutMs = static_cast<DWORD>(strtoul(argv[++i], nullptr, 10));
        } else if (verb == "find") {
            DWORD start = GetTickCount();
            while ((current = FindVisibleWindow(rest.c_str())) == nullptr) {
                if (GetTickCount() - start > timeoutMs) TimedOut(step);
                Sleep(pollMs);
            }
            PrintLine("found ", rest);
        } else if (verb == "title") {
            char text[512];
            GetWindowTextA(current, text, sizeof text);
            PrintLine("title ", text);
        } else if (verb == "text") {
            int id = atoi(rest.c_str());
            PrintLine(("text " + rest + "=").c_str(), ControlText(current, id));
        } else if (verb == "children") {
            EnumChildWindows(current, PrintChild, 0);
        } else if (verb == "settext") {
            size_t second = rest.find(':');
            int id = atoi(rest.substr(0, second).c_str());
            std::string text = second == std::string::npos ? "" : rest.substr(second + 1);
            SendMessageA(GetDlgItem(current, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        } else if (verb == "click") {
            HWND button = GetDlgItem(current, atoi(rest.c_str()));
            if (button == nullptr) {
                PrintLine("missing ", step);
                return 3;
            }
            PressUntilGone(current, [button] { PostMessageA(button, BM_CLICK, 0, 0); }, step);
        } else if (verb == "command") {
            PostMessageA(current, WM_COMMAND, MAKEWPARAM(atoi(rest.c_str()), BN_CLICKED), 0);
        } else if (verb == "escape") {
            PressUntilGone(current, [current] { PostEscape(current); }, step);
        } else if (verb == "watch") {
            Watch(current, atoi(rest.c_str()), nullptr, step);
        } else if (verb == "watch-for") {
            size_t second = rest.find(':');
            int id = atoi(rest.substr(0, second).c_str());
            std::string want = second == std::string::npos ? "" : rest.substr(second + 1);
            if (!Watch(current, id, want.c_str(), step)) {
                PrintLine("gone-before ", want);
                return 4;
            }
        } else if (verb == "gone") {
            DWORD start = GetTickCount();
            while (Alive(current)) {
                if (GetTickCount() - start > timeoutMs) TimedOut(step);
                Sleep(pollMs);
            }
            PrintLine("gone", "");
        } else if (verb == "sleep") {
            Sleep(static_cast<DWORD>(atoi(rest.c_str())));
        } else if (verb == "stdin") {
            char line[64];
            if (fgets(line, sizeof line, stdin) == nullptr) return 5;
        } else if (verb == "attributes") {
            printf("attributes %s=0x%lx\n", rest.c_str(), static_cast<unsigned long>(GetFileAttributesA(rest.c_str())));
        } else if (verb == "times") {
            PrintTimes(rest.c_str());
        } else if (verb == "tree-root") {
            PrintLine("tree-root ", SelectTreeRoot(current) ? "selected" : "missing");
        } else if (verb == "dacl") {
            PrintDacl(rest.c_str());
        } else {
            PrintLine("unknown ", step);
            return 1;
        }
        fflush(stdout);
    }
    return 0;
}
