// resource.h: ids of kestrel's resources, shared by kestrel.rc and the code.
// Plain #defines: the resource compiler reads this file too. The string ids
// are in package_state.h.
#pragma once

#define ResDialogProgress 103
#define ResIconMain 104
#define ResMenuMain 109   // menu and accelerator table
#define ResDialogReplace 130
#define ResDialogDeleteError 132

#define CommandAbout 104
#define CommandExit 105

#define ItemCancel 1      // IDOK: the button labelled "Cancel"
#define ItemStatus 1006
#define ItemHeading 1007
#define ItemPleaseWait 1008
#define ItemReplace 1009
#define ItemReplaceAll 1010
#define ItemSkip 1011
#define ItemSkipAll 1012
#define ItemPromptPath 1014

#define KestrelVersionText "0.1.0"
#define KestrelVersionNumbers 0, 1, 0, 0
