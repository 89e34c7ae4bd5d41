// dir_entry.h: one path as the directory search sees it.
//
// A DirEntry records what a path names (nothing, a file, a folder or a drive
// root), a file's size (low 32 bits) and last-write time, and on request the
// names of a folder's entries. It owns its path and the names; allocation
// failures leave an entry that names nothing and has no children, never a
// crash.
#pragma once

#include <windows.h>

#include "text_trim.h"

enum DirEntryKind : int {
    EntryNone = 0,
    EntryFile = 1,
    EntryFolder = 2,
    EntryDriveRoot = 4,  // there is no kind 3
};

class DirEntry {
public:
    // Makes the entry for path (null counts as the empty text), trimmed at
    // both ends.
    explicit DirEntry(const char* path);
    ~DirEntry();
    DirEntry(const DirEntry&) = delete;
    DirEntry& operator=(const DirEntry&) = delete;

    // Fills the child names of a folder or drive root ("." and ".." included,
    // unsorted); other kinds get none. Replaces earlier names. childCount is
    // the number of names really stored: a folder that shrinks between the
    // counting and the naming pass gives fewer slots, never empty ones.
    void ListChildren();
    // A new entry for the child at index, owned by the caller; null when no
    // names are listed, the index is outside 0..childCount-1, or memory fails.
    DirEntry* ChildAt(int index) const;
    // Frees the child names.
    void ClearChildren();

    int GetKind() const { return kind; }
    DWORD GetSize() const { return size; }
    int GetChildCount() const { return childCount; }
    const char* GetPath() const { return path; }
    // 1 when the first match carries FILE_ATTRIBUTE_REPARSE_POINT: a junction
    // or symbolic link, which the clean-up removes as a link and never enters.
    int IsReparsePoint() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
    // The attributes of the first match; 0 when nothing matched.
    DWORD GetAttributes() const { return attributes; }

private:
    int kind;
    char* path;
    char** childNames;
    DWORD size;
    DWORD lastWriteTime[2];  // low word first
    int childCount;
    DWORD attributes;        // of the first match; 0 when nothing matched
};
