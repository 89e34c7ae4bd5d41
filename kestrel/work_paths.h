// work_paths.h: settling the work folder and writing the work cabinet file,
// the worker's steps before the extraction.
#pragma once

#include <windows.h>

#include <cstddef>

// Creates a fresh temporary work folder under the Windows folder's "temp\"
// and sets workDir (with a trailing backslash), workDirBare (without) and
// cabinetPath ("zelka_ms.cab" in it). Only a folder that this call created
// itself is taken: the candidates KSV000 to KSV999 are tried in turn, and
// one that exists already or cannot be created is passed over. The folder
// is created with an explicit security descriptor that gives access to the
// current user, SYSTEM and Administrators only (inherited by what is made
// inside it). Returns 1; or 0 with the three paths empty and the temporary
// folder's path in detail when no candidate could be created.
int ChooseTempWorkFolder(char* detail, size_t detailChars);

// Appends a backslash to path (capacity pathChars) when it does not end in
// one; an empty text becomes "\". Returns 0, path unchanged, when it would
// not fit.
int EnsureTrailingBackslash(char* path, size_t capacity);

// Writes the payload (the last payloadSize bytes of the package file) into
// cabinetPath, emptying that file first. A payloadSize of 0 or less writes
// nothing and succeeds. Returns 0 when a file cannot be opened, a write
// fails, or a stop was requested on the way.
int CopyPayloadToCabinet();

// Appends the whole part file at partPath to the cabinet file at
// cabinetFilePath. Returns 0 when either cannot be opened, a write fails or
// a stop was requested.
int AppendSplitPart(const char* partPath, const char* cabinetFilePath);

// Shows the folder browser owned by owner, with browseTitle as its
// instruction and a box to type a folder name in. folder (capacity MAX_PATH)
// receives the picked folder's path. Returns 1 for a non-empty path, 0 when
// the user cancelled or picked something without a file-system path.
int BrowseForTargetFolder(HWND owner, char* folder);

// The browser's callback: keeps the browser open (1) after a typed name
// that it could not resolve; 0 for every other message.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data);
