// front_end.h: the operations that the parts of the package front end call
// across files. Each is defined in the file named beside it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// startup.cpp: configuration and own paths.
void LoadPackageConfig();
void FindOwnPaths();
// Starts path with optionText as its whole command line and does not wait;
// returns 0 when it could not be started.
int StartChainStep(const char* path, char* optionText);

// integrity.cpp: the marker and the package checksum.
// digits receives 8 lowercase hex digits and a NUL (at least 9 chars).
int ComputePackageChecksum(char* digits, HWND progressWindow);
int ReadIntegrityMarker(char* marker);
// Ends the process on success; returns only on failure.
int RewriteIntegrityMarker(const char* marker);
// Applies the verdict to markerText: 1 accepts; 0 rejects with the error-box
// detail text in detail.
int ApplyIntegrityVerdict(HWND progressWindow, char* detail, size_t detailChars);

// worker.cpp: the extraction run on its own thread; window is its HWND.
DWORD WINAPI ExtractionWorker(LPVOID window);
void EndWorker(HWND window, DWORD exitCode);

// windows.cpp: the hidden main window and the progress dialog.
void RegisterMainWindowClass(HINSTANCE instance);
int CreateMainWindow(HINSTANCE instance);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// extract_driver.cpp: one cabinet file into a folder, with the file prompts.
int ExtractCabinetFile(const char* cabinetFilePath, const char* targetFolder, HWND window);

// launcher.cpp: the configured programs.
void RunConfiguredPrograms();

// work_folder.cpp: clean-up of the temporary work folder.
void RemoveWorkFolder();
