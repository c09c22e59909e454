// The cursors of a run, loaded from the system once, on first use: the
// arrow that the windows show, and the hourglass while the installer works.
#pragma once
#include <windows.h>

namespace kest {

HCURSOR ArrowCursor();
HCURSOR WaitCursor();

}  // namespace kest
