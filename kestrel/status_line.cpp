// status_line.cpp: one pending status text, handed from the worker to the UI
// thread through a posted message.
#include "status_line.h"

#include "package_state.h"
#include "text_buffer.h"

namespace {

const int statusItem = 1006;

// Written by the worker only while offerPending is 0, read by the UI thread
// only while it is 1; the interlocked operations order the two.
char offeredText[windowTextChars];
volatile LONG offerPending;

}  // namespace

void OfferStatusText(HWND window, const char* text) {
    if (InterlockedCompareExchange(&offerPending, 1, 0) != 0) return;
    CopyText(offeredText, sizeof offeredText, text);
    if (!PostMessageA(window, statusOfferedMessage, 0, 0)) InterlockedExchange(&offerPending, 0);
}

void ShowOfferedStatusText(HWND dialog) {
    char text[windowTextChars];
    CopyText(text, sizeof text, offeredText);
    InterlockedExchange(&offerPending, 0);
    SetDlgItemTextA(dialog, statusItem, text);
}
