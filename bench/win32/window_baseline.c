/* window_baseline.c: the least a windowed program does under Wine - one
 * visible window, its first messages, gone. The package benchmark times it
 * as Wine's start-up of a program with a window (the X11 driver, fonts and
 * the desktop process), which a console program never pays. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    (void)previous;
    (void)commandLine;
    (void)show;
    /* A real position: with CW_USEDEFAULT as x, y would be taken as the show
     * command, and 0 would keep the window hidden. Showing a window is what
     * costs under Wine. */
    HWND window = CreateWindowExA(0, "STATIC", "baseline", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 320, 200,
                                  NULL, NULL, instance, NULL);
    if (window == NULL) return 1;
    UpdateWindow(window);
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    DestroyWindow(window);
    return 0;
}
