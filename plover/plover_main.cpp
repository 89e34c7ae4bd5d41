// plover_main.cpp: plover's entry point. Stages one driver INF file in the
// system's store of INF files and reports the outcome in the exit code alone:
// 1 when the INF is staged or was staged before, 0 otherwise. No window, no
// message: whoever starts plover reads only the exit code.
#include <windows.h>
#include <setupapi.h>

#include "option_parse.h"

static_assert(optionTextChars == MAX_PATH, "options hold paths of MAX_PATH characters");

namespace {

// Stages options.infPath with its files at options.sourceLocation, never
// replacing an INF that the store holds already.
// Returns 1 when the INF is in the store afterwards, 0 otherwise.
int StageInf(const PloverOptions& options) {
    // Filled by the staging call and never read: plover reports only whether
    // the INF is in the store, not under which name.
    char destinationName[MAX_PATH];
    DWORD requiredChars = 0;
    if (SetupCopyOEMInfA(options.infPath, options.sourceLocation, SPOST_PATH, SP_COPY_NOOVERWRITE,
                         destinationName, sizeof destinationName, &requiredChars, nullptr)) {
        return 1;
    }
    // An identical INF in the store already counts as staged.
    return GetLastError() == ERROR_FILE_EXISTS ? 1 : 0;
}

}  // namespace

// commandText is the command line after the program's name and its blanks.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandText, int) {
    PloverOptions options;
    if (!ReadPloverOptions(commandText, &options)) return 0;
    return StageInf(options);
}
