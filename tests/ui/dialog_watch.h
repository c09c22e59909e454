// In-process dialog tests: the code under test opens a real modal dialog
// from this program's own resources on the test's thread, and a second
// thread finds that dialog, reads it and presses its buttons, as a person
// would.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace kest::test {

// Text of a window ("" for null).
std::string WindowText(HWND window);

// The rectangle of a dialog's control in dialog units, as the template
// placed it (read back from the window through MapDialogRect).
RECT ControlRectInDialogUnits(HWND dialog, HWND control);

// Starts a thread that waits for a dialog of the calling thread whose
// caption is `caption`, visible and done with WM_INITDIALOG (some system
// dialogs show themselves before they are filled in), then calls `act` with
// it on that thread. The constructor returns once that thread has started
// and made its first window call: under Wine a thread's start and first
// window call, beside another thread's first load of a library that sets
// up windows (the shell's, for one), can each hold the lock the other
// waits for, and both stop for ever. The destructor waits for the thread;
// a watch whose dialog never came looks until the caller has stopped
// waiting for it (Stop), however long that takes. One watch at a time.
class DialogWatch {
 public:
  DialogWatch(const std::string& caption, std::function<void(HWND)> act);
  ~DialogWatch();
  DialogWatch(const DialogWatch&) = delete;
  DialogWatch& operator=(const DialogWatch&) = delete;

  // Called once the code under test has returned: a watch still looking
  // stops looking.
  void Stop();
  bool found() const { return found_; }

 private:
  static DWORD WINAPI Run(void* self);
  static LRESULT CALLBACK AfterMessage(int code, WPARAM wparam, LPARAM lparam);

  std::string caption_;
  std::function<void(HWND)> act_;
  DWORD owner_thread_;
  HANDLE thread_ = nullptr;
  HANDLE started_ = nullptr;  // set by the thread after its first look
  HHOOK hook_ = nullptr;
  volatile LONG stop_ = 0;
  volatile bool found_ = false;
};

// Clicks a button of another thread's dialog (the button must be visible
// and enabled for the click to reach the dialog).
void Click(HWND dialog, int button);

}  // namespace kest::test
