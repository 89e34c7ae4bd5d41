// extract_driver.h: the front end's side of the cabinet decoder, shared by
// extract_driver.cpp and file_prompt.cpp.
#pragma once

#include <windows.h>

#include <cstdint>

#include "cabdecode.h"
#include "package_state.h"

// The last answer of the "Replace file" prompt; kept for the whole run.
enum ReplaceChoice : int {
    ReplaceNoAnswer = 0,
    ReplaceOne = 1,
    ReplaceAll = 2,
    SkipOne = 3,
    SkipAll = 4,
};

extern HWND progressWindow;
extern char targetDir[pathChars];
extern int replaceChoice;
extern char promptText[pathChars];

// The decoder's notification callback for one ExtractCabinetFile call.
int32_t HandleCabinetNotice(int32_t type, CabNotice* notice);

// Dialog procedure of the "Replace file" prompt (130) and of the deletion
// error (132).
INT_PTR CALLBACK FilePromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The front end's CabIo set: the C runtime's descriptor calls, whose flag
// encoding is the decoder's. Read, write and open answer -1 once a stop has
// been requested, which ends the extraction in progress.
void* CabIoAlloc(uint32_t sizeBytes);
void CabIoFree(void* block);
int32_t CabIoOpen(const char* path, int32_t flags, int32_t mode);
int32_t CabIoRead(int32_t handle, void* buffer, uint32_t count);
int32_t CabIoWrite(int32_t handle, const void* buffer, uint32_t count);
int32_t CabIoClose(int32_t handle);
int32_t CabIoSeek(int32_t handle, int32_t offset, int32_t origin);
