// worker.cpp: placeholder run until the extraction worker lands: the run ends
// at once, as a completed run does.
#include "front_end.h"

void EndWorker(HWND window, DWORD exitCode) {
    PostMessageA(window, WM_DESTROY, 0, 0);
    ExitThread(exitCode);
}

DWORD WINAPI ExtractionWorker(LPVOID window) {
    EndWorker(static_cast<HWND>(window), 1);
    return 1;
}
