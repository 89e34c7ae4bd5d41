// package_state.h: the process-wide values of a kestrel run.
//
// Start-up fills the settings and the own paths before any other thread
// exists; afterwards they are only read, except that the worker writes the
// three work paths and cuts up the two cabinet lists while it runs. No locks
// are used: the Cancel sequence stops the worker before it touches anything
// the worker owns.
#pragma once

#include <windows.h>

#include "cabdecode.h"

// Capacities in characters, terminating NUL included.
const int pathChars = 260;         // paths, names, messages, argument texts
const int longTextChars = 520;     // registry values, command lines from file associations
const int windowTextChars = 100;   // window titles and class names
const int flagChars = 5;
const int numberChars = 10;
const int markerChars = 15;        // the integrity marker, stored without a terminator

// The package settings, one field per string-table entry.
struct PackageConfig {
    char cleanupWorkDir[flagChars];        // 460 flag
    char stubSize[numberChars];            // 461 number
    char showProgress[flagChars];          // 462 flag
    char extractInPlace[flagChars];        // 463 flag
    char additionalCabinets[pathChars];    // 464 list
    char partBaseName[pathChars];          // 465 text
    char splitPartCount[numberChars];      // 466 number
    char programCount[flagChars];          // 467 number
    char payloadSizeEcho[numberChars];     // 468 number, loaded and never consulted
    char payloadSize[numberChars];         // 469 number
    char optionalCabinets[pathChars];      // 470 list
    char askForFolder[flagChars];          // 471 flag
    char browseTitle[pathChars];           // 115 text
};

// String-table ids.
enum KestrelStringId : UINT {
    StringWindowTitle = 103,
    StringPleaseWait = 112,
    StringFileError = 113,
    StringErrorCaption = 114,
    StringBrowseTitle = 115,
    StringExtracting = 116,
    StringComplete = 117,
    StringProgramBase = 200,    // 200 + k: the k-th program's file name
    StringArgumentsBase = 300,  // 300 + k: its argument text
    StringCleanupWorkDir = 460,
    StringStubSize = 461,
    StringShowProgress = 462,
    StringExtractInPlace = 463,
    StringAdditionalCabinets = 464,
    StringPartBaseName = 465,
    StringSplitPartCount = 466,
    StringProgramCount = 467,
    StringPayloadSizeEcho = 468,
    StringPayloadSize = 469,
    StringOptionalCabinets = 470,
    StringAskForFolder = 471,
};

extern HINSTANCE instanceHandle;
extern PackageConfig packageConfig;

extern char mainWindowTitle[windowTextChars];
extern char mainWindowClass[windowTextChars];

extern char exePath[pathChars];
extern char exeName[pathChars];
extern char exeDir[pathChars];
extern char workDir[pathChars];
extern char workDirBare[pathChars];
extern char cabinetPath[pathChars];

// The 15 marker characters read at start-up and a NUL.
extern char markerText[markerChars + 1];

// The worker started last, or null.
extern HANDLE workerThread;
// The decoder and cabinet descriptor of the extraction in progress; null and 0
// whenever nothing is really open.
extern CabDecoder* activeDecoder;
extern int activeCabinetFile;
// Set by the Cancel sequence; the worker, its CabIo callbacks and the checksum
// loop test it and wind down.
extern volatile LONG stopRequested;

inline bool StopRequested() { return stopRequested != 0; }
