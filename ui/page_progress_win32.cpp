#include "ui/page_progress_win32.h"

#include "resources/resource_ids.h"
#include "ui/cursors_win32.h"

namespace kest {
namespace {

HWND g_current_page = nullptr;

void ShowControl(HWND page, int id, bool on) {
  HWND control = GetDlgItem(page, id);
  if (control == nullptr) return;
  EnableWindow(control, on ? TRUE : FALSE);
  ShowWindow(control, on ? SW_SHOW : SW_HIDE);
}

class PageProgressImpl : public Progress {
 public:
  void ShowProgressText(const char* text) override {
    if (g_current_page == nullptr) return;
    SetDlgItemTextA(g_current_page, IDC_STATUS_LINE, text);
    PumpPageMessages();
  }
  void PumpMessages() override { PumpPageMessages(); }
};

}  // namespace

void SetCurrentPage(HWND page) { g_current_page = page; }

Progress& PageProgress() {
  static PageProgressImpl progress;
  return progress;
}

void PumpPageMessages() {
  if (g_current_page == nullptr) return;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Not ours to take: the message loop ends the program on it.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (!IsDialogMessageA(g_current_page, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  SetCursor(WaitCursor());
}

void PageControlsOn(HWND page, const char* folder) {
  if (folder != nullptr) SetDlgItemTextA(page, IDC_FOLDER_EDIT, folder);
  ShowControl(page, IDC_FOLDER_EDIT, true);
  ShowControl(page, IDC_BROWSE, true);
  ShowControl(page, IDC_NEXT, true);
  ShowControl(page, IDC_EXIT_INSTALL, true);
  HWND status = GetDlgItem(page, IDC_STATUS_LINE);
  if (status != nullptr) ShowWindow(status, SW_HIDE);
}

void ConfirmControlsOn(HWND page, const char* text) {
  SetStatusLine(page, text);
  HWND status = GetDlgItem(page, IDC_STATUS_LINE);
  if (status != nullptr) ShowWindow(status, SW_SHOW);
  ShowControl(page, IDC_NEXT, true);
  ShowControl(page, IDC_EXIT_INSTALL, true);
}

void LockPageForInstall(HWND page, const char* status) {
  ShowControl(page, IDC_BROWSE, false);
  ShowControl(page, IDC_NEXT, false);
  ShowControl(page, IDC_EXIT_INSTALL, false);
  HWND edit = GetDlgItem(page, IDC_FOLDER_EDIT);
  if (edit != nullptr) EnableWindow(edit, FALSE);
  SetStatusLine(page, status);
  HWND line = GetDlgItem(page, IDC_STATUS_LINE);
  if (line != nullptr) ShowWindow(line, SW_SHOW);
}

void SetStatusLine(HWND page, const char* text) {
  SetDlgItemTextA(page, IDC_STATUS_LINE, text != nullptr ? text : "");
}

}  // namespace kest
