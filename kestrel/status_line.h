// status_line.h: the running checksum text in the progress dialog without a
// round trip to the UI thread for every 1000 bytes.
//
// A synchronous SetDlgItemTextA from the worker waits until the UI thread has
// served it; thousands of them cost more than the checksum itself (under Wine
// each one is a trip through the server). The worker therefore offers the
// text and posts one message; while that message is on its way, later offers
// are dropped, since the dialog would overwrite them at once anyway. Texts
// that must be seen (the first and the final value) still go synchronously.
#pragma once

#include <windows.h>

// Posted to the progress dialog when an offered text waits to be shown.
const UINT statusOfferedMessage = WM_APP + 1;

// Worker side: hands the text to the dialog unless an offer is still pending.
void OfferStatusText(HWND window, const char* text);

// UI side, on statusOfferedMessage: shows the offered text in item 1006.
void ShowOfferedStatusText(HWND dialog);
