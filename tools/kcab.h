// kcab.h: the commands of the kcab tool and its exit statuses.
//
//   0        success
//   1        some files were refused or could not be written, or create failed
//   2        usage error
//   10 + c   the decoder failed with CabErrorCode c
#pragma once

#include <string>
#include <vector>

const int kcabExitOk = 0;
const int kcabExitPartial = 1;
const int kcabExitUsage = 2;
const int kcabExitDecoderBase = 10;

enum class DecodeMode {
    List,     // print every file entry, decode nothing
    Extract,  // write every delivered file under the target folder
    Test,     // decode every file and discard the bytes
};

// Runs the decoder over cabinetPath. targetDir is used by Extract only.
int RunDecode(DecodeMode mode, const std::string& cabinetPath, const std::string& targetDir);

struct CreateOptions {
    std::string method = "mszip";
    unsigned long long setSizeBytes = 0;  // 0: a single cabinet
    std::string outputPath;
    std::vector<std::string> inputs;
};

int RunCreate(const CreateOptions& options);

// The name of a CabErrorCode, e.g. "CabErrCorrupt".
const char* CabErrorName(int code);
