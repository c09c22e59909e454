#include "ui/center_dialog_win32.h"

namespace kest {

void CenterDialog(HWND window) {
  RECT own = {};
  RECT desktop = {};
  if (!GetWindowRect(window, &own) || !GetWindowRect(GetDesktopWindow(), &desktop)) return;
  const LONG width = own.right - own.left;
  const LONG height = own.bottom - own.top;
  LONG x = (desktop.right - width + desktop.left) >> 1;
  if (x < desktop.left) x = desktop.left;
  LONG y = (desktop.bottom - height - desktop.top) / 3 + desktop.top;
  if (y < desktop.top) y = desktop.top;
  MoveWindow(window, x, y, width, height, FALSE);
}

}  // namespace kest
