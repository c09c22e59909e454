// The window classes and the hidden main window. Every dialog of the run is
// shown from inside the main window's handling of the start command.
#pragma once
#include <windows.h>

#include "resources/resource_ids.h"

namespace kest {

// The start command posted to the main window once it exists.
constexpr UINT kStartCommand = IDM_START_INSTALL;

// Registers KestInst (the main window) and KestInstDlg (the class named by
// the wizard pages, which gives them the installer's icon), both with the
// arrow cursor.
bool RegisterWindowClasses(HINSTANCE instance);
// Creates the main window hidden, updates it once and posts it the start
// command, whose handling runs the whole install.
bool CreateMainWindow(HINSTANCE instance);

// The welcome picture (bitmap 1010) that the entry point loads once and
// deletes at exit; the pages show it and never delete it. Null when it did
// not load.
void SetWelcomePicture(HBITMAP picture);
HBITMAP WelcomePicture();

}  // namespace kest
