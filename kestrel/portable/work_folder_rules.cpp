// work_folder_rules.cpp: own-path splitting and the work-folder guard.
#include "work_folder_rules.h"

#include <cstring>

#include "text_buffer.h"

int SplitFullPath(const char* fullPath, char* folder, size_t folderChars, char* name,
                  size_t nameChars) {
    folder[0] = '\0';
    name[0] = '\0';
    const char* slash = strrchr(fullPath, '\\');
    if (slash == nullptr) return 0;
    size_t folderLength = static_cast<size_t>(slash - fullPath) + 1;
    if (folderLength >= folderChars || !CopyText(name, nameChars, slash + 1)) {
        name[0] = '\0';
        return 0;
    }
    memcpy(folder, fullPath, folderLength);
    folder[folderLength] = '\0';
    return 1;
}

int IsDriveRootText(const char* path) {
    size_t length = strlen(path);
    if (length == 0 || length > 3) return 0;
    if (path[length - 1] == ':') return 1;
    return length >= 2 && path[length - 1] == '\\' && path[length - 2] == ':';
}

int IsTemporaryWorkFolder(const char* workDir, const char* workDirBare, const char* exeDir) {
    size_t bareLength = strlen(workDirBare);
    if (bareLength == 0 || workDirBare[bareLength - 1] == '\\') return 0;
    if (IsDriveRootText(workDirBare)) return 0;
    // workDir must be exactly workDirBare and one backslash.
    if (strncmp(workDir, workDirBare, bareLength) != 0) return 0;
    if (workDir[bareLength] != '\\' || workDir[bareLength + 1] != '\0') return 0;
    // The last component is "KSV" and three digits.
    const char* slash = strrchr(workDirBare, '\\');
    if (slash == nullptr) return 0;
    const char* last = slash + 1;
    if (strlen(last) != 6 || strncmp(last, "KSV", 3) != 0) return 0;
    for (int i = 3; i < 6; ++i) {
        if (last[i] < '0' || last[i] > '9') return 0;
    }
    // Never the package's own folder or anything beneath it.
    if (exeDir[0] != '\0' && strstr(workDir, exeDir) != nullptr) return 0;
    return 1;
}

ChildRemoval DecideChildRemoval(int kind, unsigned long attributes) {
    bool link = (attributes & attributeReparsePoint) != 0;
    switch (kind) {
    case 1:
        return link ? RemovalDeleteLinkFile : RemovalDeleteFile;
    case 2:
        return link ? RemovalRemoveLinkFolder : RemovalEmptyThenRemove;
    default:
        return RemovalNone;
    }
}
