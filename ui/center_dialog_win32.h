// Placing a dialog on the desktop: centred across, a third of the way down.
#pragma once
#include <windows.h>

namespace kest {

// Moves the window, keeping its size and without repainting, so that it is
// centred horizontally on the desktop and its top sits a third of the spare
// height down; never above or left of the desktop's top-left corner.
void CenterDialog(HWND window);

}  // namespace kest
