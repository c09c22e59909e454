#include "base/install_status.h"

#include <cstring>

#include "base/error_table.h"
#include "base/install_codes.h"
#include "base/install_options.h"
#include "resources/resource_ids.h"
#include "resources/string_ids.h"

namespace kest {
namespace {

constexpr uint32_t kLabelChars = 30;      // labels are loaded into 30 bytes
constexpr char kLabelGap[] = "   ";       // between a label and its text

// Appends src to the NUL-terminated text in dst (capacity size), cutting it
// to fit; dst stays terminated.
void AppendText(char* dst, size_t size, const char* src) {
  size_t used = strlen(dst);
  CopyTextCut(dst + used, size - used, src);
}

}  // namespace

InstallStatus& Status() {
  static InstallStatus status;
  return status;
}

void SetError(uint32_t code, uint32_t buttons, const char* detail, uint32_t label_id) {
  InstallStatus& s = Status();
  s.install_code = code;
  s.button_set = buttons == kButtonsRetry ? kButtonsRetry : kButtonsExitOnly;
  s.detail_text[0] = '\0';

  if (detail != nullptr) {
    char label[kLabelChars];
    if (label_id != 0 && s.platform->LoadText(label_id, label, sizeof(label))) {
      CopyTextCut(s.detail_text, sizeof(s.detail_text), label);
      AppendText(s.detail_text, sizeof(s.detail_text), kLabelGap);
    }
    AppendText(s.detail_text, sizeof(s.detail_text), detail);
  }

  const ErrorRow& row = FindErrorRow(code);
  s.headline_id = row.headline_id;
  s.message_id = row.message_id;
  s.change_drive_id = row.change_drive_id;
  s.try_again_id = row.try_again_id;
  s.first_button_id = row.first_button_id;
  s.dialog_id = IDD_ERROR_DETAIL;

  if (IsDefaultRow(row)) {
    // A code the table does not know: let the system say what it means.
    if (!s.platform->SystemMessage(code, s.line_text, sizeof(s.line_text))) {
      s.detail_text[0] = '\0';
      return;
    }
    char label[kLabelChars] = {};
    s.platform->LoadText(IDS_LABEL_ERROR, label, sizeof(label));
    if (s.detail_text[0] != '\0') AppendText(s.detail_text, sizeof(s.detail_text), "\n");
    AppendText(s.detail_text, sizeof(s.detail_text), label);
    AppendText(s.detail_text, sizeof(s.detail_text), kLabelGap);
    AppendText(s.detail_text, sizeof(s.detail_text), s.line_text);
  }
}

uint32_t ShowError() {
  InstallStatus& s = Status();
  uint32_t choice = kChoiceNone;
  if (s.ui_level == kUiLevelFull) {
    if (s.detail_text[0] == '\0') s.dialog_id = IDD_ERROR;
    choice = s.platform->ShowErrorDialog(s);
  }

  if (!s.platform->LoadText(s.headline_id, s.line_text, sizeof(s.line_text))) {
    s.line_text[0] = '\0';
  }
  LogFormat("ERROR: \"%s\"", s.line_text);
  if (s.detail_text[0] != '\0') LogFormat("       \"%s\"", s.detail_text);
  return choice;
}

uint32_t ReportError(uint32_t code, uint32_t buttons, const char* detail, uint32_t label_id) {
  SetError(code, buttons, detail, label_id);
  return ShowError();
}

void ResetStatus() {
  InstallStatus& s = Status();
  s.install_code = 0;
  s.button_set = 0;
  s.headline_id = 0;
  s.message_id = 0;
  s.dialog_id = 0;
  s.change_drive_id = 0;
  s.try_again_id = 0;
  s.first_button_id = 0;
  s.user_choice = 0;
  s.detail_text[0] = '\0';
}

bool RetryAfterOutOfMemory() {
  if (ReportError(kCodeOutOfMemory, kButtonsRetry, nullptr, 0) != kChoiceRetry) return false;
  ResetStatus();
  return true;
}

}  // namespace kest
