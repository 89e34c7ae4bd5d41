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

// What the clean-up does with one entry of a folder being emptied, from the
// entry's kind (DirEntry kinds: 1 file, 2 folder) and the attributes of its
// directory-search match. A reparse point (a junction or symbolic link) is
// never entered and never has its attributes changed: that could reach what
// it points to; it is removed as a link.
enum ChildRemoval {
    RemovalNone,            // ".", "..", or nothing there
    RemovalEmptyThenRemove, // a plain folder: empty it, then remove it
    RemovalRemoveLinkFolder,// a folder link: RemoveDirectoryA on the link alone
    RemovalDeleteFile,      // a plain file: attributes to archive only, then delete
    RemovalDeleteLinkFile,  // a file link: delete the link, attributes untouched
};

const unsigned long attributeReparsePoint = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT

ChildRemoval DecideChildRemoval(int kind, unsigned long attributes);
