#include "dialog_watch.h"

#include <utility>

#include "tests/support/win32_test_support.h"

namespace kest::test {
namespace {

// Dialogs of the watched thread whose WM_INITDIALOG has returned.
constexpr int kMaxInitialized = 64;
HWND volatile g_initialized[kMaxInitialized];
volatile LONG g_initialized_count = 0;

bool Initialized(HWND window) {
  LONG n = g_initialized_count;
  for (LONG i = 0; i < n && i < kMaxInitialized; ++i) {
    if (g_initialized[i] == window) return true;
  }
  return false;
}

struct Search {
  const std::string* caption;
  HWND found;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  if (IsWindowVisible(window) && Initialized(window) && WindowText(window) == *search->caption) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

std::string WindowText(HWND window) {
  if (window == nullptr) return "";
  char text[1100];
  int n = GetWindowTextA(window, text, sizeof(text));
  return std::string(text, n > 0 ? n : 0);
}

RECT ControlRectInDialogUnits(HWND dialog, HWND control) {
  RECT unit = {0, 0, 4, 8};  // 4 horizontal and 8 vertical units
  MapDialogRect(dialog, &unit);
  RECT r = {};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  auto to_units = [](LONG pixels, LONG per_units, LONG units) {
    return (pixels * units + per_units / 2) / per_units;
  };
  return RECT{to_units(r.left, unit.right, 4), to_units(r.top, unit.bottom, 8),
              to_units(r.right, unit.right, 4), to_units(r.bottom, unit.bottom, 8)};
}

DialogWatch::DialogWatch(const std::string& caption, std::function<void(HWND)> act)
    : caption_(caption), act_(std::move(act)), owner_thread_(GetCurrentThreadId()) {
  g_initialized_count = 0;
  hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, AfterMessage, nullptr, owner_thread_);
  started_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
  if (thread_ != nullptr) WaitForSingleObject(started_, HangGuardMs(60000));
}

DialogWatch::~DialogWatch() {
  Stop();
  if (thread_ != nullptr) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
  if (started_ != nullptr) CloseHandle(started_);
}

LRESULT CALLBACK DialogWatch::AfterMessage(int code, WPARAM wparam, LPARAM lparam) {
  const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lparam);
  if (code == HC_ACTION && message->message == WM_INITDIALOG &&
      g_initialized_count < kMaxInitialized) {
    g_initialized[g_initialized_count] = message->hwnd;
    InterlockedIncrement(&g_initialized_count);
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

void DialogWatch::Stop() { InterlockedExchange(&stop_, 1); }

DWORD WINAPI DialogWatch::Run(void* param) {
  // No time limit: while the code under test has not returned, its dialog
  // may still be coming (a system dialog can take minutes to fill itself
  // in on a slow machine), and a watch that gave up would leave it open for
  // ever with the code under test inside it. A dialog that never comes
  // either lets the code under test return, which stops the watch, or
  // blocks it with or without a watch.
  auto* self = static_cast<DialogWatch*>(param);
  while (self->stop_ == 0) {
    Search search = {&self->caption_, nullptr};
    EnumThreadWindows(self->owner_thread_, MatchCaption, reinterpret_cast<LPARAM>(&search));
    SetEvent(self->started_);
    if (search.found != nullptr) {
      self->found_ = true;
      self->act_(search.found);
      return 0;
    }
    Sleep(10);
  }
  return 0;
}

void Click(HWND dialog, int button) { SendMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0); }

}  // namespace kest::test
