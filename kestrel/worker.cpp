// worker.cpp: the extraction run, on its own thread.
//
// In order: the integrity check, the work folder (picked, the package's own
// folder, or a fresh temporary one), the payload into the work cabinet
// file, the split parts appended, the work cabinet and the further cabinets
// extracted, the window hidden, the configured programs, the clean-up.
//
// The run is stopped cooperatively: the Cancel sequence of the progress
// dialog sets stopRequested and waits for this thread to end. The worker
// tests it between its steps (the checksum loop and the decoder's I/O
// callbacks test it too), and on a stop it releases what it holds itself
// and simply returns, without a message and without touching what the
// Cancel sequence releases; the Cancel sequence ends the dialog and the
// message loop.
#include <cstdio>
#include <cstring>

#include "config_rules.h"
#include "front_end.h"
#include "launcher.h"
#include "package_state.h"
#include "resource.h"
#include "text_buffer.h"
#include "work_paths.h"

namespace {

enum RunOutcome {
    RunCompleted,
    RunBrowserCancelled,  // also a picked folder whose work paths do not fit
    RunFailed,            // the error box, with a detail text
    RunStopped,           // Cancel: return without a word
};

const char cabinetFileName[] = "zelka_ms.cab";

void ShowStatus(HWND window, const char* text) { SetDlgItemTextA(window, ItemStatus, text); }

// Settles a folder that the user picked. Returns 0 when the browser was
// cancelled or the folder's work paths would not fit.
int SettlePickedFolder(HWND window) {
    char picked[MAX_PATH];
    picked[0] = '\0';
    if (!BrowseForTargetFolder(window, picked)) return 0;
    char folder[pathChars];
    char cabinet[pathChars];
    if (!CopyText(folder, sizeof folder, picked) || !EnsureTrailingBackslash(folder, sizeof folder) ||
        !FormatText(cabinet, sizeof cabinet, "%s%s", folder, cabinetFileName)) {
        return 0;
    }
    // Only the temporary folder has a bare form: the clean-up never removes
    // a picked folder.
    CopyText(workDir, pathChars, folder);
    workDirBare[0] = '\0';
    CopyText(cabinetPath, pathChars, cabinet);
    return 1;
}

// The package's own folder as the work folder; 0 when the cabinet path
// would not fit.
int SettlePackageFolder() {
    char cabinet[pathChars];
    if (!FormatText(cabinet, sizeof cabinet, "%s%s", exeDir, cabinetFileName)) return 0;
    CopyText(workDir, pathChars, exeDir);
    workDirBare[0] = '\0';
    CopyText(cabinetPath, pathChars, cabinet);
    return 1;
}

RunOutcome AppendSplitParts(HWND window, char* detail, size_t detailChars) {
    int partCount = ReadNumber(packageConfig.splitPartCount);
    for (int part = 1; part <= partCount; ++part) {
        if (StopRequested()) return RunStopped;
        char shortName[pathChars];
        FormatText(shortName, sizeof shortName, "%s.%03d", packageConfig.partBaseName, part);
        ShowStatus(window, shortName);
        // A path that does not fit is reported as missing (cut, in the box).
        int fits = FormatText(detail, detailChars, "%s%s.%03d", exeDir, packageConfig.partBaseName, part);
        if (!fits || !FileExists(detail)) return RunFailed;
        AppendSplitPart(detail, cabinetPath);
    }
    return RunCompleted;
}

// The cabinets of a list (cut up in place), extracted in order. A missing
// one is an error when required, and passed over otherwise.
RunOutcome ExtractListedCabinets(HWND window, char* list, bool required, char* detail, size_t detailChars) {
    char* cursor = list;
    while (char* item = NextListItem(&cursor)) {
        if (StopRequested()) return RunStopped;
        char path[pathChars];
        int fits = FormatText(path, sizeof path, "%s%s", exeDir, item);
        if (!fits || !FileExists(path)) {
            if (!required) continue;
            CopyText(detail, detailChars, path);
            return RunFailed;
        }
        ExtractCabinetFile(path, workDir, window);
    }
    return StopRequested() ? RunStopped : RunCompleted;
}

RunOutcome RunExtraction(HWND window, char* detail, size_t detailChars) {
    if (!ApplyIntegrityVerdict(window, detail, detailChars)) {
        return StopRequested() ? RunStopped : RunFailed;
    }
    if (StopRequested()) return RunStopped;

    bool settled = false;
    if (IsFlagOn(packageConfig.askForFolder)) {
        if (!SettlePickedFolder(window)) return StopRequested() ? RunStopped : RunBrowserCancelled;
        settled = true;
    }
    if (IsFlagOn(packageConfig.extractInPlace)) {
        if (!SettlePackageFolder()) return RunBrowserCancelled;
        settled = true;
    }
    if (StopRequested()) return RunStopped;
    if (!settled && !ChooseTempWorkFolder(detail, detailChars)) return RunFailed;

    if (StopRequested()) return RunStopped;
    CopyPayloadToCabinet();
    RunOutcome outcome = AppendSplitParts(window, detail, detailChars);
    if (outcome != RunCompleted) return outcome;

    if (StopRequested()) return RunStopped;
    ExtractCabinetFile(cabinetPath, workDir, window);
    outcome = ExtractListedCabinets(window, packageConfig.additionalCabinets, true, detail, detailChars);
    if (outcome != RunCompleted) return outcome;
    outcome = ExtractListedCabinets(window, packageConfig.optionalCabinets, false, detail, detailChars);
    if (outcome != RunCompleted) return outcome;

    ShowStatus(window, "");
    ShowWindow(window, SW_HIDE);
    // A Cancel that came just before the window hid still wins.
    if (StopRequested()) return RunStopped;
    if (!IsFlagOn(packageConfig.extractInPlace) && !IsFlagOn(packageConfig.askForFolder)) {
        RunConfiguredPrograms();
    }
    if (IsFlagOn(packageConfig.cleanupWorkDir)) RemoveWorkFolder();
    DeleteFileA(cabinetPath);
    return RunCompleted;
}

// The error box: "File error", a blank and the detail text, with the caption
// "Error encounter". The window is disabled first, so Cancel cannot be
// pressed while the box is up. Every stream of the run is closed by now.
void ShowErrorBox(HWND window, const char* detail) {
    char prefix[pathChars];
    char caption[pathChars];
    char message[pathChars];
    if (LoadStringA(instanceHandle, StringFileError, prefix, sizeof prefix) <= 0) prefix[0] = '\0';
    if (LoadStringA(instanceHandle, StringErrorCaption, caption, sizeof caption) <= 0) caption[0] = '\0';
    FormatText(message, sizeof message, "%s %s", prefix, detail);  // cut: it is only shown
    EnableWindow(window, FALSE);
    MessageBoxA(nullptr, message, caption, MB_OK);
}

}  // namespace

void EndWorker(HWND window, DWORD exitCode) {
    PostMessageA(window, WM_DESTROY, 0, 0);
    ExitThread(exitCode);
}

DWORD WINAPI ExtractionWorker(LPVOID parameter) {
    HWND window = static_cast<HWND>(parameter);
    char detail[pathChars];
    detail[0] = '\0';
    switch (RunExtraction(window, detail, sizeof detail)) {
    case RunStopped:
        return 0;
    case RunFailed:
        if (StopRequested()) return 0;
        ShowErrorBox(window, detail);
        RemoveWorkFolder();
        EndWorker(window, 0);
        return 0;
    case RunBrowserCancelled:
    case RunCompleted:
        break;
    }
    EndWorker(window, 1);
    return 1;
}
