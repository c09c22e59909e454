#include "ui/wizard_win32.h"

#include <cstring>

#include "base/install_codes.h"
#include "base/install_options.h"
#include "base/install_status.h"
#include "base/text_limits.h"
#include "resources/resource_ids.h"
#include "resources/string_ids.h"
#include "ui/browse_folder_win32.h"
#include "ui/center_dialog_win32.h"
#include "ui/page_progress_win32.h"

namespace kest {
namespace {

// The agreement text: strings 125 to 156 run together. Each is loaded into
// a path-sized buffer, so each adds at most 259 characters; the whole stays
// within 8191 characters and a string that would overrun it is cut.
constexpr size_t kAgreementChars = 8192;

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

WizardRun* RunOf(HWND page) {
  return reinterpret_cast<WizardRun*>(GetWindowLongPtrA(page, DWLP_USER));
}

// Please-wait box, exit confirmation, agreement reminder and the completion
// dialogs: centred on opening; commands 1 to 4 end them with their id.
INT_PTR CALLBACK SimpleProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      CenterDialog(dialog);
      return TRUE;
    case WM_COMMAND: {
      const WORD id = LOWORD(wparam);
      if (id >= IDC_NEXT && id <= IDC_PREVIOUS) EndDialog(dialog, id);
      return TRUE;
    }
  }
  return FALSE;
}

INT_PTR ShowSimpleDialog(int id, HWND owner) {
  return DialogBoxParamA(Instance(), MAKEINTRESOURCEA(id), owner, SimpleProc, 0);
}

bool ExitConfirmed(HWND page) { return ShowSimpleDialog(IDD_EXIT_CONFIRM, page) == IDC_NEXT; }

void FillAgreement(HWND page) {
  static char text[kAgreementChars];
  size_t length = 0;
  text[0] = '\0';
  for (int i = 0; i < IDS_AGREEMENT_COUNT; ++i) {
    char part[kPathChars];
    const int n = LoadStringA(Instance(), IDS_AGREEMENT_FIRST + i, part, sizeof(part));
    if (n <= 0) continue;
    CopyTextCut(text + length, sizeof(text) - length, part);
    length += strlen(text + length);
  }
  SetDlgItemTextA(page, IDC_AGREEMENT_TEXT, text);
}

// Agreement and welcome pages. lparam of the opening is the run.
INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      const WizardRun* run = reinterpret_cast<const WizardRun*>(lparam);
      if (run->welcome_picture != nullptr) {
        SendDlgItemMessageA(page, IDC_WELCOME_PICTURE, STM_SETIMAGE, IMAGE_BITMAP,
                            reinterpret_cast<LPARAM>(run->welcome_picture));
      }
      // A Product that is present is shown as it is, blank or not; the
      // template's "Component Name" stays only when there is none.
      if (run->product != nullptr) SetDlgItemTextA(page, IDC_COMPONENT_NAME, run->product);
      HWND agreement = GetDlgItem(page, IDC_AGREEMENT_TEXT);
      if (agreement != nullptr) FillAgreement(page);
      SetWindowLongPtrA(page, DWLP_USER, lparam);
      CenterDialog(page);
      // The agreement opens at its top with nothing selected (the dialog
      // manager would select all of it); the welcome page's focus is on
      // Next, its default button.
      if (agreement != nullptr) {
        SetFocus(agreement);
        SendMessageA(agreement, EM_SETSEL, 0, 0);
      } else {
        SetFocus(GetDlgItem(page, IDC_NEXT));
      }
      return FALSE;
    }
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_NEXT:
          if (GetDlgItem(page, IDC_AGREE_CHECK) != nullptr &&
              IsDlgButtonChecked(page, IDC_AGREE_CHECK) != BST_CHECKED) {
            ShowSimpleDialog(IDD_AGREEMENT_REMINDER, page);
          } else {
            EndDialog(page, IDC_NEXT);
          }
          return TRUE;
        case IDC_CANCEL_KEY:
        case IDC_EXIT_INSTALL:
          if (ExitConfirmed(page)) EndDialog(page, LOWORD(wparam));
          return TRUE;
        case IDC_PREVIOUS:
          EndDialog(page, IDC_PREVIOUS);
          return TRUE;
      }
      return TRUE;
  }
  return FALSE;
}

// The destination page closes: once the installation succeeded, the
// completion dialog that the options word selects; then the page ends with
// the pending install code. A confirmed exit or a failure shows none.
void ClosePage(HWND page, const WizardRun& run) {
  PumpPageMessages();
  const uint32_t options = *run.options;
  if (Status().install_code == kSuccess && (options & kStateInstalled) != 0) {
    int id = IDD_COMPLETE;
    if ((options & kStateRegistrationFailed) != 0) {
      id = IDD_REGISTRATION_INCOMPLETE;
    } else if ((options & kStateRestartNeeded) != 0) {
      id = IDD_COMPLETE_RESTART;
    }
    ShowSimpleDialog(id, page);
  }
  const uint32_t code = Status().install_code;
  EndDialog(page, static_cast<INT_PTR>(code));
  PostQuitMessage(static_cast<int>(code));
}

void OpenDestinationPage(HWND page, WizardRun& run) {
  SendDlgItemMessageA(page, IDC_FOLDER_EDIT, EM_LIMITTEXT, kPathChars - 1, 0);
  if ((*run.options & kStateFolderPage) == 0) {
    ConfirmControlsOn(page, run.destination);
  } else {
    if (run.destination[0] == '\0' && run.default_folder != nullptr) {
      // A default too long for the buffer is not taken: the run keeps its
      // empty folder rather than a cut one.
      (void)CopyText(run.destination, kPathChars, run.default_folder);
    }
    PageControlsOn(page, run.destination);
  }
  CenterDialog(page);
  SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(&run));
  SetCurrentPage(page);
}

void NextOnDestinationPage(HWND page, WizardRun& run) {
  if (strlen(run.destination) > kLongestDestinationChars) {
    if (ReportError(kCodeInvalidFolder, kButtonsRetry, run.destination, IDS_LABEL_PATH) ==
        kChoiceRetry) {
      ResetStatus();
      PageControlsOn(page, nullptr);
      return;
    }
    // Giving up here ends the run with the folder's code, as a failed
    // preparation of the same folder would.
    ClosePage(page, run);
    return;
  }
  if (run.install(page, run.context) == PageOutcome::kClose) ClosePage(page, run);
}

void BrowseOnDestinationPage(HWND page, WizardRun& run) {
  char folder[kPathChars];
  memcpy(folder, run.destination, sizeof(folder));
  BrowseForFolder(page, folder);
  folder[kPathChars - 1] = '\0';
  if (folder[0] != '\0') memcpy(run.destination, folder, sizeof(folder));
  SetDlgItemTextA(page, IDC_FOLDER_EDIT, run.destination);
}

// Folder page and confirm page. lparam of the opening is the run.
INT_PTR CALLBACK DestinationPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    OpenDestinationPage(page, *reinterpret_cast<WizardRun*>(lparam));
    return TRUE;
  }
  WizardRun* run = RunOf(page);
  if (message != WM_COMMAND || run == nullptr) return FALSE;
  switch (LOWORD(wparam)) {
    case IDC_NEXT:
      NextOnDestinationPage(page, *run);
      break;
    case IDC_EXIT_INSTALL:
      if (ExitConfirmed(page)) {
        ResetStatus();
        ClosePage(page, *run);
      }
      break;
    case IDC_BROWSE:
      BrowseOnDestinationPage(page, *run);
      break;
  }
  // Everything else, the cancel command (Escape) included, does nothing.
  return TRUE;
}

INT_PTR ShowPage(int id, DLGPROC procedure, WizardRun& run) {
  return DialogBoxParamA(Instance(), MAKEINTRESOURCEA(id), run.owner, procedure,
                         reinterpret_cast<LPARAM>(&run));
}

}  // namespace

HWND OpenPleaseWaitBox(HWND owner) {
  HWND box = CreateDialogParamA(Instance(), MAKEINTRESOURCEA(IDD_PLEASE_WAIT), owner, SimpleProc, 0);
  if (box == nullptr) return nullptr;
  ShowWindow(box, SW_SHOW);
  // Opening the package runs no message loop: paint the box now.
  UpdateWindow(box);
  return box;
}

void ClosePleaseWaitBox(HWND box) {
  if (box != nullptr) DestroyWindow(box);
}

void RunWizard(WizardRun& run) {
  int destination_page = IDD_CHOOSE_FOLDER;
  *run.options |= kStateFolderPage;
  if (run.destination_known) {
    destination_page = IDD_CONFIRM_FOLDER;
    *run.options &= ~kStateFolderPage;
  }
  for (;;) {
    if (ShowPage(IDD_AGREEMENT, PageProc, run) != IDC_NEXT) return;
    const INT_PTR answer = ShowPage(IDD_WELCOME, PageProc, run);
    if (answer == IDC_NEXT) break;
    if (answer != IDC_PREVIOUS) return;
  }
  ShowPage(destination_page, DestinationPageProc, run);
}

}  // namespace kest
