// The installer's entry point: a single-threaded GUI process whose whole run
// happens inside the hidden main window's handling of the start command.
// The process exit code is the install code pending when the run ends.
#include <windows.h>

#include "installer/install_sequence.h"
#include "base/install_status.h"
#include "base/system_api_win32.h"
#include "installer/main_window.h"
#include "base/win32_log_backend.h"
#include "resources/resource_ids.h"
#include "ui/error_dialog_win32.h"

namespace {

// The welcome picture, loaded at entry and deleted at exit.
class Bitmap {
 public:
  explicit Bitmap(HBITMAP bitmap) : bitmap_(bitmap) {}
  ~Bitmap() {
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
  }
  HBITMAP get() const { return bitmap_; }
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

 private:
  HBITMAP bitmap_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
  kest::RestrictDllSearch();
  kest::SetInstallerCommandLine(command_line);
  Bitmap welcome(LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_WELCOME)));
  kest::SetWelcomePicture(welcome.get());

  // Every report of the run reaches the person through the error dialog.
  kest::DialogStatusPlatform platform(instance);
  kest::Win32LogBackend log_backend;
  kest::InstallStatus& status = kest::Status();
  status.platform = &platform;
  status.log.SetBackend(&log_backend);

  char saved_directory[MAX_PATH] = {};
  DWORD saved = GetCurrentDirectoryA(sizeof(saved_directory), saved_directory);

  if (kest::RegisterWindowClasses(instance) && kest::CreateMainWindow(instance)) {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (saved > 0 && saved < sizeof(saved_directory)) SetCurrentDirectoryA(saved_directory);
  }

  UINT exit_code = status.install_code;
  status.log.SetBackend(nullptr);
  status.platform = nullptr;
  kest::SetWelcomePicture(nullptr);
  return static_cast<int>(exit_code);
}
