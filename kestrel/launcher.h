// launcher.h: the launcher's helpers, shared by the worker.
#pragma once

// 1 when FindFirstFileA finds path and its first match is not a folder.
// Wildcards in path are matched, not rejected.
int FileExists(const char* path);

// Reads the default (unnamed) value of HKEY_LOCAL_MACHINE\keyPath, of any
// type, into buffer (associationTextChars). The buffer is emptied first, so
// any failure, and a value that does not fit, leave it empty. Returns 1 when
// the value read is not empty.
int ReadMachineKeyDefault(const char* keyPath, char* buffer);

// Builds into commandLine (associationTextChars) the command that opens
// file, the program path, through the association registered for its
// extension, with arguments after the document. Falls back to the shell's
// lookup of the executable. commandLine is empty when neither gives a
// complete command: a template whose program or placeholder was not found is
// never handed to the system to guess at.
void BuildAssociationCommand(const char* file, char* commandLine, const char* arguments);
