// InstallStatus: the one process-wide record of the pending install code,
// the buttons the reporting caller allows, the texts of the error dialog and
// the user's choice. Every failure of the run is reported through
// ReportError, which shows the error dialog when the run has a user
// interface, writes the error to the install log, and returns the choice.
//
// The record itself is portable. What differs between the installer and the
// host (string resources, system message texts, the dialog) comes through
// StatusPlatform, so that the reporting rules are unit-tested on the host.
#pragma once
#include <cstdint>

#include "base/install_log.h"
#include "base/text_limits.h"

namespace kest {

struct InstallStatus;

class StatusPlatform {
 public:
  virtual ~StatusPlatform() = default;
  // Loads string resource id into buffer (size bytes, always terminated).
  // Returns false when there is no such string or it is empty.
  virtual bool LoadText(uint32_t id, char* buffer, uint32_t size) = 0;
  // The system's message text for code (no inserts), without trailing line
  // breaks. Returns false when the system has none.
  virtual bool SystemMessage(uint32_t code, char* buffer, uint32_t size) = 0;
  // Shows the error dialog for the recorded error, modally, and returns the
  // user's choice (which it also stores in status.user_choice).
  virtual uint32_t ShowErrorDialog(InstallStatus& status) = 0;
};

struct InstallStatus {
  uint32_t install_code = 0;   // the code last reported; 0 when none pending
  uint32_t button_set = 0;     // kButtonsRetry or kButtonsExitOnly
  uint32_t headline_id = 0;    // string ids of the error table row
  uint32_t message_id = 0;
  uint32_t dialog_id = 0;      // error dialog template (118, or 119 without detail)
  uint32_t change_drive_id = 0;
  uint32_t try_again_id = 0;
  uint32_t first_button_id = 0;
  uint32_t user_choice = 0;    // written by the error dialog
  uint32_t ui_level = 3;       // the dialog is shown only at 3
  char line_text[kTextBytes] = {};    // scratch: loaded texts, system messages
  char detail_text[kTextBytes] = {};  // shown under the message and logged
  InstallLog log;
  StatusPlatform* platform = nullptr;
};

// The process's record. The entry point sets its platform before any report.
InstallStatus& Status();

// Records code with its buttons and an optional detail (label_id names a
// label string put in front of it, or 0). Shows nothing.
void SetError(uint32_t code, uint32_t buttons, const char* detail, uint32_t label_id);
// Shows the recorded error (UI level 3 only), logs it, returns the choice.
uint32_t ShowError();
// SetError then ShowError. Returns the user's choice; kChoiceRetry (4) asks
// the caller to repeat the failed step, anything else to give up.
uint32_t ReportError(uint32_t code, uint32_t buttons, const char* detail, uint32_t label_id);
// Forgets the pending code, texts and choice; keeps UI level and log.
void ResetStatus();
// After a failed allocation: reports out of memory with Try Again allowed.
// Returns true when the user chose Try Again (the report is then reset and
// the caller allocates again); false to give up, the code left pending.
bool RetryAfterOutOfMemory();

// The one shape of "allocate, and on failure ask to try again": calls
// attempt (whose result tests false when an allocation failed: a pointer,
// a unique_ptr, a bool) until it succeeds or ask_again() declines, and
// returns the last result. Nothing is reported here; ask_again reports.
template <typename Attempt, typename Ask>
auto RetryingAllocation(Attempt attempt, Ask ask_again) -> decltype(attempt()) {
  auto result = attempt();
  while (!result && ask_again()) result = attempt();
  return result;
}

// The same with the out-of-memory report's Try Again as the question: a
// failed result leaves kCodeOutOfMemory pending.
template <typename Attempt>
auto RetryingAllocation(Attempt attempt) -> decltype(attempt()) {
  return RetryingAllocation(attempt, RetryAfterOutOfMemory);
}

}  // namespace kest
