// Choosing a folder with the system's folder picker, for the Browse button
// of the folder page.
#pragma once
#include <windows.h>

namespace kest {

// Lets the user pick a folder, with a dialog owned by owner. folder holds
// kPathChars characters: on entry the folder to start from, on return the
// folder chosen, or an empty text when the user cancelled. The caller keeps
// its own folder when the text comes back empty.
void BrowseForFolder(HWND owner, char* folder);

}  // namespace kest
