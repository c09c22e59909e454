#include "installer/main_window.h"

#include "installer/install_sequence.h"
#include "resources/resource_ids.h"
#include "resources/string_ids.h"
#include "ui/cursors_win32.h"

namespace kest {
namespace {

constexpr char kMainClass[] = "KestInst";
constexpr char kDialogClass[] = "KestInstDlg";
constexpr int kCaptionChars = 50;        // 49 characters and the terminator

HBITMAP g_welcome_picture = nullptr;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wparam) == kStartCommand) {
        RunInstallSequence(window);
        return 0;
      }
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

bool RegisterOneClass(HINSTANCE instance, const char* name, WNDPROC procedure, int extra_bytes) {
  WNDCLASSA wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = procedure;
  wc.cbWndExtra = extra_bytes;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_INSTALLER));
  wc.hCursor = ArrowCursor();
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = name;
  return RegisterClassA(&wc) != 0;
}

}  // namespace

bool RegisterWindowClasses(HINSTANCE instance) {
  return RegisterOneClass(instance, kMainClass, MainWindowProc, 0) &&
         RegisterOneClass(instance, kDialogClass, DefDlgProcA, DLGWINDOWEXTRA);
}

bool CreateMainWindow(HINSTANCE instance) {
  char caption[kCaptionChars] = {};
  LoadStringA(instance, IDS_INSTALL_CAPTION, caption, sizeof(caption));
  HWND window = CreateWindowA(kMainClass, caption, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                              CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return false;
  ShowWindow(window, SW_HIDE);
  UpdateWindow(window);
  PostMessageA(window, WM_COMMAND, kStartCommand, 0);
  return true;
}

void SetWelcomePicture(HBITMAP picture) { g_welcome_picture = picture; }
HBITMAP WelcomePicture() { return g_welcome_picture; }

}  // namespace kest
