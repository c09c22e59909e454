// The folder page's Browse: a system dialog in which the person picks a
// folder. Windows NT gets the file-open dialog cut down to folders and
// drives (template 105); the Windows 95 family gets the shell's folder
// browser, looked up at run time so that the program still starts on a
// shell without it.
#pragma once
#include <windows.h>

namespace kest {

// folder: a buffer of kPathChars characters holding the current destination
// folder. On return it holds the folder the person chose, or
//   - Windows NT, cancelled: an empty text;
//   - Windows 95 family, cancelled or no folder browser in the shell: the
//     text it held (nothing is shown when the browser is missing).
// The dialog is owned by owner. The process's current directory is not
// restored: on Windows NT it may now be the folder the person opened.
void BrowseForFolder(HWND owner, char* folder);

}  // namespace kest
