// windows.cpp: the hidden main window and the progress dialog.
//
// Creating the main window starts the run: with showProgress on, its
// WM_CREATE shows the modal progress dialog, whose WM_INITDIALOG starts the
// worker; otherwise WM_CREATE starts the worker itself. Either window ends
// the message loop on the WM_DESTROY that the worker posts.
//
// Cancel stops the worker cooperatively: it sets stopRequested, then waits
// for the worker thread to end while still serving messages (the worker's
// status texts are synchronous calls into this thread), and only then closes
// streams, releases the decoder and removes the work folder. The worker is
// never terminated, so no C-library lock can stay held.
#include <cstdio>
#include <io.h>

#include "cabdecode.h"
#include "front_end.h"
#include "package_state.h"
#include "config_rules.h"
#include "resource.h"
#include "status_line.h"
#include "text_buffer.h"

namespace {

const DWORD releasePauseMs = 1000;

// Set while the Cancel sequence runs, so that a second Cancel arriving
// through the messages served during the wait does nothing.
bool cancelInProgress;

// Starts the worker with window as its window, once per run. Returns 0 when
// it could not be started.
int StartWorker(HWND window) {
    if (workerThread != nullptr) return 1;
    DWORD threadId = 0;
    workerThread = CreateThread(nullptr, 0, ExtractionWorker, window, 0, &threadId);
    return workerThread != nullptr;
}

// Waits until the worker thread has ended, serving this thread's messages
// meanwhile. A WM_QUIT met on the way is put back once the wait is over.
void WaitForWorkerEnd() {
    if (workerThread == nullptr) return;
    bool quitSeen = false;
    for (;;) {
        DWORD woken = MsgWaitForMultipleObjects(1, &workerThread, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) break;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quitSeen = true;
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    if (quitSeen) PostQuitMessage(0);
}

void CancelRun(HWND dialog, int commandId) {
    if (cancelInProgress) return;
    cancelInProgress = true;
    InterlockedExchange(&stopRequested, 1);
    WaitForWorkerEnd();
    // The worker has ended: what it left open is ours to release.
    _fcloseall();
    if (activeCabinetFile != 0) {
        _close(activeCabinetFile);
        activeCabinetFile = 0;
    }
    if (activeDecoder != nullptr) {
        CabDecoderDestroy(activeDecoder);
        activeDecoder = nullptr;
    }
    Sleep(releasePauseMs);
    RemoveWorkFolder();
    EndDialog(dialog, commandId);
    PostQuitMessage(0);
}

void ShowAbout(HWND owner) {
    char text[windowTextChars + 32];
    FormatText(text, sizeof text, "%s\nkestrel %s", mainWindowTitle, KestrelVersionText);
    MessageBoxA(owner, text, mainWindowTitle, MB_OK | MB_ICONINFORMATION);
}

void SetItemFromString(HWND dialog, int item, UINT stringId) {
    char text[windowTextChars];
    if (LoadStringA(instanceHandle, stringId, text, sizeof text) <= 0) text[0] = '\0';
    SetDlgItemTextA(dialog, item, text);
}

}  // namespace

void RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(ResIconMain));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEA(ResMenuMain);
    windowClass.lpszClassName = mainWindowClass;
    RegisterClassExA(&windowClass);
}

int CreateMainWindow(HINSTANCE instance) {
    instanceHandle = instance;
    HWND window = CreateWindowExA(0, mainWindowClass, mainWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                  CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 0;
    UpdateWindow(window);
    return 1;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        if (IsFlagOn(packageConfig.showProgress)) {
            INT_PTR result = DialogBoxParamA(instanceHandle, MAKEINTRESOURCEA(ResDialogProgress), window,
                                             ProgressDialogProc, 0);
            // Without the dialog nothing would ever end the loop.
            if (result == -1 || result == 0) {
                if (workerThread == nullptr) PostQuitMessage(0);
            }
        } else if (!StartWorker(window)) {
            PostQuitMessage(0);
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case CommandAbout:
            ShowAbout(window);
            return 0;
        case CommandExit:
            DestroyWindow(window);
            return 0;
        }
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        char title[windowTextChars];
        if (LoadStringA(instanceHandle, StringWindowTitle, title, sizeof title) <= 0) title[0] = '\0';
        SetWindowTextA(dialog, title);
        SetItemFromString(dialog, ItemHeading, StringExtracting);
        SetItemFromString(dialog, ItemPleaseWait, StringPleaseWait);
        UpdateWindow(dialog);
        if (!StartWorker(dialog)) {
            EndDialog(dialog, IDCANCEL);
            PostQuitMessage(0);
        }
        return TRUE;
    }
    case WM_COMMAND: {
        int commandId = LOWORD(wParam);
        if (commandId != IDOK && commandId != IDCANCEL) return FALSE;
        CancelRun(dialog, commandId);
        return TRUE;
    }
    case statusOfferedMessage:
        ShowOfferedStatusText(dialog);
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}
