#include "ui/error_dialog_win32.h"

#include "base/install_codes.h"
#include "base/text_limits.h"
#include "resources/resource_ids.h"
#include "ui/center_dialog_win32.h"

namespace kest {
namespace {

constexpr int kButtonTextBytes = 40;  // button texts: at most 39 characters

// What the dialog procedure works with, from WM_INITDIALOG on.
struct ErrorDialogState {
  HINSTANCE instance;
  InstallStatus* status;
};

// Sets string id, loaded from instance into buffer, as the control's text;
// a string that does not load leaves the text empty.
void SetLoadedText(HINSTANCE instance, HWND control, UINT id, char* buffer, int size) {
  if (LoadStringA(instance, id, buffer, size) <= 0) buffer[0] = '\0';
  SetWindowTextA(control, buffer);
}

void ShowControl(HWND control, bool shown) {
  EnableWindow(control, shown ? TRUE : FALSE);
  ShowWindow(control, shown ? SW_SHOW : SW_HIDE);
}

void FillDialog(HWND dialog, const ErrorDialogState& state) {
  const InstallStatus& s = *state.status;
  const bool retry = s.button_set == kButtonsRetry;
  const struct {
    int control;
    uint32_t text_id;
  } buttons[] = {
      {IDC_ERROR_CHANGE_DRIVE, retry ? s.change_drive_id : 0},
      {IDC_ERROR_TRY_AGAIN, retry ? s.try_again_id : 0},
      {IDC_ERROR_FIRST_BUTTON, s.first_button_id},
  };
  char button_text[kButtonTextBytes];
  for (const auto& b : buttons) {
    HWND control = GetDlgItem(dialog, b.control);
    if (b.text_id != 0) {
      SetLoadedText(state.instance, control, b.text_id, button_text, sizeof(button_text));
    }
    ShowControl(control, b.text_id != 0);
  }

  char text[kTextBytes];
  HWND headline = GetDlgItem(dialog, IDC_ERROR_HEADLINE);
  SetLoadedText(state.instance, headline, s.headline_id, text, sizeof(text));
  ShowControl(headline, true);

  // Template 119 has no detail control; GetDlgItem then gives null and the
  // calls below do nothing.
  HWND detail = GetDlgItem(dialog, IDC_ERROR_DETAIL);
  const bool has_detail = s.detail_text[0] != '\0';
  if (has_detail) SetWindowTextA(detail, s.detail_text);
  ShowControl(detail, has_detail);

  HWND message = GetDlgItem(dialog, IDC_ERROR_MESSAGE);
  SetLoadedText(state.instance, message, s.message_id, text, sizeof(text));
  ShowControl(message, true);

  SendDlgItemMessageA(dialog, IDC_ERROR_ICON, STM_SETICON,
                      reinterpret_cast<WPARAM>(LoadIconA(nullptr, IDI_EXCLAMATION)), 0);
  CenterDialog(dialog);
}

INT_PTR CALLBACK ErrorDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* state = reinterpret_cast<const ErrorDialogState*>(lparam);
      SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state->status));
      FillDialog(dialog, *state);
      // The report takes the foreground before the system activates it.
      // Setting the focus below activates the dialog while it is still
      // hidden; when its process does not yet hold the foreground (the
      // run's first window), the activation draws the caption inactive,
      // and the foreground that showing the dialog then brings finds it
      // already active and draws nothing again: the report would stand in
      // front, answering the keyboard, under a grey caption.
      SetForegroundWindow(dialog);
      return TRUE;  // the system gives the focus to the first shown button
    }
    case WM_COMMAND: {
      auto* status = reinterpret_cast<InstallStatus*>(GetWindowLongPtrA(dialog, DWLP_USER));
      if (status == nullptr) return FALSE;
      uint32_t id = LOWORD(wparam);
      if (status->button_set != kButtonsRetry &&
          (id == kChoiceChangeDrive || id == kChoiceRetry)) {
        id = kChoiceNone;
      }
      if (id == kChoiceNone || id == kChoiceFirst || id == kChoiceChangeDrive ||
          id == kChoiceRetry) {
        status->user_choice = id;
        EndDialog(dialog, static_cast<INT_PTR>(id));
      }
      return TRUE;
    }
  }
  return FALSE;
}

}  // namespace

uint32_t RunErrorDialog(HINSTANCE instance, HWND owner, InstallStatus& status) {
  ErrorDialogState state = {instance, &status};
  INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(status.dialog_id), owner,
                                   ErrorDialogProc, reinterpret_cast<LPARAM>(&state));
  // -1: the dialog could not be created; nothing was chosen.
  return result > 0 ? static_cast<uint32_t>(result) : kChoiceNone;
}

uint32_t DialogStatusPlatform::ShowErrorDialog(InstallStatus& status) {
  return RunErrorDialog(instance(), GetActiveWindow(), status);
}

}  // namespace kest
