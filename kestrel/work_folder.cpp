// work_folder.cpp: removal of the temporary work folder.
//
// Only the folder that the worker made under the Windows temporary folder is
// ever removed (IsTemporaryWorkFolder): never the package's own folder, a
// folder the user picked, or a drive root. Inside it, junctions and symbolic
// links are removed as links; what they point to is never entered.
#include "dir_entry.h"
#include "front_end.h"
#include "work_folder.h"
#include "package_state.h"
#include "work_folder_rules.h"

#include <cstring>

namespace {

// Removes one entry of a folder being emptied.
void DeleteChild(DirEntry* child) {
    const char* childPath = child->GetPath();
    switch (DecideChildRemoval(child->GetKind(), child->GetAttributes())) {
    case RemovalEmptyThenRemove:
        DeleteFolderContents(child);
        RemoveDirectoryA(childPath);
        break;
    case RemovalRemoveLinkFolder:
        // Removes a junction or folder link itself; what it points to stays.
        RemoveDirectoryA(childPath);
        break;
    case RemovalDeleteFile:
        SetFileAttributesA(childPath, FILE_ATTRIBUTE_ARCHIVE);
        DeleteFileA(childPath);
        break;
    case RemovalDeleteLinkFile:
        DeleteFileA(childPath);
        break;
    case RemovalNone:
        break;
    }
}

}  // namespace

void DeleteFolderContents(DirEntry* entry) {
    // Nothing inside the package's own folder is ever deleted.
    if (exeDir[0] != '\0' && strstr(workDir, exeDir) != nullptr) return;
    if (entry->IsReparsePoint()) return;
    entry->ListChildren();
    for (int i = 0; i < entry->GetChildCount(); ++i) {
        DirEntry* child = entry->ChildAt(i);
        if (child == nullptr) continue;
        DeleteChild(child);
        delete child;
    }
    entry->ClearChildren();
}

void RemoveWorkFolder() {
    if (!IsTemporaryWorkFolder(workDir, workDirBare, exeDir)) return;
    DirEntry folder(workDirBare);
    if (folder.GetKind() != EntryFolder || folder.IsReparsePoint()) return;
    DeleteFolderContents(&folder);
    RemoveDirectoryA(workDirBare);
}

static_assert(attributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT, "the portable rule tests the system's flag");
