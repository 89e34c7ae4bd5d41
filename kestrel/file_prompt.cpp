// file_prompt.cpp: the "Replace file" prompt and the deletion error dialog.
//
// Both show promptText in item 1014. Every command ends the dialog; only the
// four answer buttons change replaceChoice, so Escape or "OK" leaves the
// previous answer in force.
#include "extract_driver.h"
#include "resource.h"

INT_PTR CALLBACK FilePromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextA(dialog, ItemPromptPath, promptText);
        return TRUE;
    case WM_COMMAND: {
        int commandId = LOWORD(wParam);
        switch (commandId) {
        case ItemReplace:
            replaceChoice = ReplaceOne;
            break;
        case ItemReplaceAll:
            replaceChoice = ReplaceAll;
            break;
        case ItemSkip:
            replaceChoice = SkipOne;
            break;
        case ItemSkipAll:
            replaceChoice = SkipAll;
            break;
        }
        EndDialog(dialog, commandId);
        return TRUE;
    }
    }
    return FALSE;
}
