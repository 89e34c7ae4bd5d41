// dir_entry.cpp: DirEntry, built on the directory search.
#include "dir_entry.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// A heap copy of text (null gives the empty text); null when memory fails.
char* CopyToHeap(const char* text) {
    if (text == nullptr) text = "";
    size_t length = strlen(text);
    char* copy = static_cast<char*>(malloc(length + 1));
    if (copy != nullptr) memcpy(copy, text, length + 1);
    return copy;
}

// folder, a backslash unless folder already ends in one, and tail; on the heap.
char* JoinOnHeap(const char* folder, const char* tail) {
    size_t folderLength = strlen(folder);
    size_t tailLength = strlen(tail);
    bool needSlash = folderLength == 0 || folder[folderLength - 1] != '\\';
    char* joined = static_cast<char*>(malloc(folderLength + (needSlash ? 1 : 0) + tailLength + 1));
    if (joined == nullptr) return nullptr;
    memcpy(joined, folder, folderLength);
    size_t at = folderLength;
    if (needSlash) joined[at++] = '\\';
    memcpy(joined + at, tail, tailLength + 1);
    return joined;
}

int IsDotName(const char* name) {
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

}  // namespace

DirEntry::DirEntry(const char* pathText)
    : kind(EntryNone), path(nullptr), childNames(nullptr), size(0), lastWriteTime{0, 0},
      childCount(0), attributes(0) {
    path = CopyToHeap(pathText);
    if (path == nullptr) return;
    TrimSpaces(path);

    WIN32_FIND_DATAA match;
    HANDLE search = FindFirstFileA(path, &match);
    if (search == INVALID_HANDLE_VALUE) {
        // A drive root has no entry of its own in the search.
        if (path[0] != '\0' && lstrcmpA(path + 1, ":\\") == 0) kind = EntryDriveRoot;
        return;
    }
    attributes = match.dwFileAttributes;
    const char* slash = strrchr(path, '\\');
    const char* last = slash != nullptr ? slash + 1 : path;
    if ((match.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        kind = IsDotName(last) ? EntryNone : EntryFolder;
    } else {
        kind = EntryFile;
        size = match.nFileSizeLow;
        lastWriteTime[0] = match.ftLastWriteTime.dwLowDateTime;
        lastWriteTime[1] = match.ftLastWriteTime.dwHighDateTime;
    }
    FindClose(search);
}

DirEntry::~DirEntry() {
    ClearChildren();
    free(path);
}

void DirEntry::ClearChildren() {
    if (childNames != nullptr) {
        for (int i = 0; i < childCount; ++i) free(childNames[i]);
        free(childNames);
    }
    childNames = nullptr;
    childCount = 0;
}

void DirEntry::ListChildren() {
    ClearChildren();
    if (path == nullptr || (kind != EntryFolder && kind != EntryDriveRoot)) return;
    char* pattern = JoinOnHeap(path, "*.*");
    if (pattern == nullptr) return;

    WIN32_FIND_DATAA match;
    int counted = 0;
    HANDLE search = FindFirstFileA(pattern, &match);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            ++counted;
        } while (counted < 0x100000 && FindNextFileA(search, &match));
        FindClose(search);
    }
    if (counted > 0) {
        childNames = static_cast<char**>(calloc(static_cast<size_t>(counted), sizeof(char*)));
    }
    if (childNames != nullptr) {
        int stored = 0;
        search = FindFirstFileA(pattern, &match);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                char* name = CopyToHeap(match.cFileName);
                if (name == nullptr) break;
                childNames[stored++] = name;
            } while (stored < counted && FindNextFileA(search, &match));
            FindClose(search);
        }
        childCount = stored;
        if (stored == 0) ClearChildren();
    }
    free(pattern);
}

DirEntry* DirEntry::ChildAt(int index) const {
    if (childNames == nullptr || index < 0 || index >= childCount) return nullptr;
    char* childPath = JoinOnHeap(path, childNames[index]);
    if (childPath == nullptr) return nullptr;
    DirEntry* child = new (std::nothrow) DirEntry(childPath);
    free(childPath);
    return child;
}
