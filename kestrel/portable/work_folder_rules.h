// work_folder_rules.h: path rules of the own paths and the work folder.
#pragma once

#include <cstddef>

// Splits a full path at its last backslash: name gets the text after it,
// folder the text up to and including it. Returns 0, with both emptied, when
// the path has no backslash or a part does not fit its buffer.
int SplitFullPath(const char* fullPath, char* folder, size_t folderChars, char* name,
                  size_t nameChars);

// 1 when path names a drive root or a bare drive: "C:", "C:\" (any letter),
// or a text of three characters or fewer ending in ":" or ":\".
int IsDriveRootText(const char* path);

// 1 only when the work paths describe the temporary work folder that the
// worker creates: workDirBare is "...\KSV" and three digits, without a
// trailing backslash; workDir is workDirBare followed by one backslash; it is
// not a drive root; and the text of exeDir does not occur in workDir (so
// neither the package's own folder nor a folder beneath it is ever emptied).
// Empty paths, a picked folder (whose two forms are the same text) and
// exeDir give 0.
int IsTemporaryWorkFolder(const char* workDir, const char* workDirBare, const char* exeDir);
