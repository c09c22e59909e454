#include "ui/cursors_win32.h"

namespace kest {
namespace {

HCURSOR g_arrow = nullptr;
HCURSOR g_wait = nullptr;

}  // namespace

HCURSOR ArrowCursor() {
  if (g_arrow == nullptr) g_arrow = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  return g_arrow;
}

HCURSOR WaitCursor() {
  if (g_wait == nullptr) g_wait = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT));
  return g_wait;
}

}  // namespace kest
