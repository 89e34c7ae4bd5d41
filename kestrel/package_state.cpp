// package_state.cpp: storage for the process-wide values of a run.
#include "package_state.h"

HINSTANCE instanceHandle;
PackageConfig packageConfig;

char mainWindowTitle[windowTextChars];
char mainWindowClass[windowTextChars];

char exePath[pathChars];
char exeName[pathChars];
char exeDir[pathChars];
char workDir[pathChars];
char workDirBare[pathChars];
char cabinetPath[pathChars];

char markerText[markerChars + 1];

HANDLE workerThread;
CabDecoder* activeDecoder;
int activeCabinetFile;
volatile LONG stopRequested;
