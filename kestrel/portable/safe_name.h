// safe_name.h: which file names from a cabinet may be written.
//
// A cabinet is untrusted input. A stored name is used only when, joined to
// the target folder, it can only name a place beneath that folder and no
// device: names are refused, never rewritten into something else.
#pragma once

#include <cstddef>

// 1 when the length characters at component form a Windows device name:
// CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, CONIN$ or CONOUT$, in any case,
// alone or followed by an extension ("nul.txt"). Blanks and dots that
// Windows drops from the end of the base name are dropped before the test
// ("CON .txt", "aux.").
int IsDeviceName(const char* component, size_t length);

// 1 when name may be joined to the target folder; 0 for a name that is
// empty; begins with "\" or "/" (absolute, also "\\server" and "\\?\");
// holds a ":" anywhere (a drive, "C:x", or an alternate data stream);
// has an empty last component (nothing to write); or has a component made
// only of dots and blanks (".", "..", "...", ". .") or one that is a device
// name. Both "\" and "/" separate components, as they do for Windows.
int IsSafeCabinetName(const char* name);

// 1 when name can only mean a file beside the current cabinet: not empty,
// no "\", "/" or ":", not made only of dots and blanks, no device name.
// Names of continuation cabinets must be such names.
int IsPlainCabinetName(const char* name);
