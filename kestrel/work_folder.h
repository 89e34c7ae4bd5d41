// work_folder.h: emptying a folder depth first, for the work-folder clean-up.
#pragma once

#include "dir_entry.h"

// Deletes every file beneath the folder that entry names and every
// sub-folder after its contents. Does nothing when the text of exeDir occurs
// in workDir, or when entry is a junction or symbolic link; links found
// inside are removed as links and never entered. Failures are ignored.
void DeleteFolderContents(DirEntry* entry);
