// The error dialog opened for real from this program's resources (the
// installer's own, linked in) through ReportError, read and answered by a
// second thread: template, texts, icon, buttons and their places, and the
// choice each button gives back to the caller.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/install_codes.h"
#include "base/install_options.h"
#include "base/install_status.h"
#include "dialog_watch.h"
#include "resources/resource_ids.h"
#include "resources/string_ids.h"
#include "ui/error_dialog_win32.h"

namespace kest {
namespace {

using test::Click;
using test::ControlRectInDialogUnits;
using test::DialogWatch;
using test::WindowText;

constexpr char kCaption[] = "Install Error";
constexpr char kExit[] = "E&xit Install";
constexpr char kTryAgain[] = "&Try Again";

struct ButtonSeen {
  bool shown = false;    // visible and enabled
  bool hidden = false;   // invisible and disabled
  std::string text;
  RECT place = {};       // dialog units
};

// What the second thread saw before it answered.
struct DialogSeen {
  bool detail_control = false;  // control 1027 exists: template 118
  bool detail_shown = false;
  std::string headline, detail, message;
  RECT message_place = {};
  ButtonSeen change_drive, try_again, first;
  HICON icon = nullptr;
  HWND owner = nullptr;
  bool centred = false;
  bool open_after_ignored_command = false;
};

ButtonSeen SeeButton(HWND dialog, int id) {
  HWND b = GetDlgItem(dialog, id);
  ButtonSeen seen;
  seen.shown = IsWindowVisible(b) && IsWindowEnabled(b);
  seen.hidden = !IsWindowVisible(b) && !IsWindowEnabled(b);
  if (seen.shown) seen.text = WindowText(b);
  seen.place = ControlRectInDialogUnits(dialog, b);
  return seen;
}

bool IsCentred(HWND dialog) {
  RECT own, desk;
  GetWindowRect(dialog, &own);
  GetWindowRect(GetDesktopWindow(), &desk);
  LONG w = own.right - own.left, h = own.bottom - own.top;
  return own.left == (desk.right - w + desk.left) / 2 &&
         own.top == (desk.bottom - h - desk.top) / 3 + desk.top;
}

// How the second thread answers.
enum class Answer {
  kClickTryAgain,
  kClickFirst,
  kCommandTryAgain,     // command 4 posted, as a hidden button cannot be clicked
  kCommandChangeDrive,  // command 2: Escape and the system menu's Close send it
  kIgnoredThenFirst,    // command 3 (no such choice), then the first button
};

DialogSeen Observe(HWND dialog, Answer answer) {
  DialogSeen seen;
  HWND detail = GetDlgItem(dialog, IDC_ERROR_DETAIL);
  seen.detail_control = detail != nullptr;
  seen.detail_shown = detail != nullptr && IsWindowVisible(detail);
  if (seen.detail_shown) seen.detail = WindowText(detail);
  seen.headline = WindowText(GetDlgItem(dialog, IDC_ERROR_HEADLINE));
  seen.message = WindowText(GetDlgItem(dialog, IDC_ERROR_MESSAGE));
  seen.message_place = ControlRectInDialogUnits(dialog, GetDlgItem(dialog, IDC_ERROR_MESSAGE));
  seen.change_drive = SeeButton(dialog, IDC_ERROR_CHANGE_DRIVE);
  seen.try_again = SeeButton(dialog, IDC_ERROR_TRY_AGAIN);
  seen.first = SeeButton(dialog, IDC_ERROR_FIRST_BUTTON);
  seen.icon = reinterpret_cast<HICON>(
      SendDlgItemMessageA(dialog, IDC_ERROR_ICON, STM_GETICON, 0, 0));
  seen.owner = GetWindow(dialog, GW_OWNER);
  seen.centred = IsCentred(dialog);
  switch (answer) {
    case Answer::kClickTryAgain: Click(dialog, IDC_ERROR_TRY_AGAIN); break;
    case Answer::kClickFirst: Click(dialog, IDC_ERROR_FIRST_BUTTON); break;
    case Answer::kCommandTryAgain: PostMessageA(dialog, WM_COMMAND, IDC_ERROR_TRY_AGAIN, 0); break;
    case Answer::kCommandChangeDrive:
      PostMessageA(dialog, WM_COMMAND, IDC_ERROR_CHANGE_DRIVE, 0);
      break;
    case Answer::kIgnoredThenFirst:
      SendMessageA(dialog, WM_COMMAND, IDC_EXIT_INSTALL, 0);
      seen.open_after_ignored_command = IsWindow(dialog) && IsWindowVisible(dialog);
      Click(dialog, IDC_ERROR_FIRST_BUTTON);
      break;
  }
  return seen;
}

class ErrorDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = {Status().platform, Status().ui_level};
    ResetStatus();
    Status().platform = &platform_;
    Status().ui_level = kUiLevelFull;
  }
  void TearDown() override {
    ResetStatus();
    Status().platform = saved_.platform;
    Status().ui_level = saved_.ui_level;
  }

  // ReportError with the dialog answered by `answer`; returns the choice.
  uint32_t Report(uint32_t code, uint32_t buttons, const char* detail, uint32_t label,
                  Answer answer, DialogSeen* seen) {
    DialogWatch watch(kCaption,
                      [&](HWND dialog) { *seen = Observe(dialog, answer); });
    uint32_t choice = ReportError(code, buttons, detail, label);
    watch.Stop();
    EXPECT_TRUE(watch.found()) << "no error dialog for " << std::hex << code;
    EXPECT_EQ(Status().user_choice, choice);
    return choice;
  }

  DialogStatusPlatform platform_{GetModuleHandleA(nullptr)};

 private:
  struct Saved {
    StatusPlatform* platform;
    uint32_t ui_level;
  };
  Saved saved_ = {};
};

// The system's own text for a Windows error, as the detail shows it.
std::string SystemText(DWORD code) {
  char text[1024];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, text, sizeof(text), nullptr);
  std::string s(text, n);
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

TEST_F(ErrorDialogTest, ButtonsTextsAndChoiceFollowTheRowAndTheButtonSet) {
  const std::string out_of_memory_message =
      "There is not enough memory for Install to continue. Please close down other open "
      "applications (but not your Web browser or Scriba), and then click Continue to resume "
      "installation.";
  struct Case {
    const char* name;
    uint32_t code;
    uint32_t buttons;
    const char* detail;
    uint32_t label;
    Answer answer;
    // Expected:
    const char* headline;
    const char* detail_shown;  // null: template 119, no detail control
    const char* try_again;     // null: hidden
    const char* first;
    uint32_t choice;
  } cases[] = {
      {"out of memory, Try Again", kCodeOutOfMemory, kButtonsRetry, nullptr, 0,
       Answer::kClickTryAgain, "Out of Memory", nullptr, kTryAgain, kExit, kChoiceRetry},
      {"out of memory, Exit Install", kCodeOutOfMemory, kButtonsRetry, nullptr, 0,
       Answer::kClickFirst, "Out of Memory", nullptr, kTryAgain, kExit, kChoiceFirst},
      {"out of memory, exit-only", kCodeOutOfMemory, kButtonsExitOnly, nullptr, 0,
       Answer::kClickFirst, "Out of Memory", nullptr, nullptr, kExit, kChoiceFirst},
      {"read-only file, Continue", 0x8040F014, kButtonsRetry, "c:\\morvane\\runtime\\x.dll",
       IDS_LABEL_FILE, Answer::kClickTryAgain, "Cannot access file",
       "File:   c:\\morvane\\runtime\\x.dll", "Continue", kExit, kChoiceRetry},
      {"read-only file, exit-only", 0x8040F014, kButtonsExitOnly, "c:\\morvane\\x.dll",
       IDS_LABEL_FILE, Answer::kClickFirst, "Cannot access file", "File:   c:\\morvane\\x.dll",
       nullptr, kExit, kChoiceFirst},
      {"registration, Ignore", 0x8040F005, kButtonsExitOnly, "c:\\morvane\\x.ocx",
       IDS_LABEL_FILE, Answer::kClickFirst, "The named file could not register itself.",
       "File:   c:\\morvane\\x.ocx", nullptr, "Ignore", kChoiceFirst},
      {"folder name with label", 0x8040F003, kButtonsRetry, "c:\\x", IDS_LABEL_PATH,
       Answer::kClickTryAgain, "Invalid Folder Name", "Path:   c:\\x", kTryAgain, kExit,
       kChoiceRetry},
      {"Windows NT 3.x notice", 0x8040F018, kButtonsExitOnly, nullptr, 0, Answer::kClickFirst,
       "If you are running Windows NT and have not yet upgraded from release 3.51, you may "
       "encounter some error messages the first time you run this installation program.",
       nullptr, nullptr, "OK", kChoiceFirst},
      {"host product missing", 0x8040F011, kButtonsExitOnly, nullptr, 0, Answer::kClickFirst,
       "Scriba V4.1 (32-bit version) not found", nullptr, nullptr, "Continue", kChoiceFirst},
      {"cannot write", 0x8040F004, kButtonsRetry, nullptr, 0, Answer::kClickFirst, "Cannot write file",
       nullptr, kTryAgain, kExit, kChoiceFirst},
  };
  const HICON exclamation = LoadIconA(nullptr, IDI_EXCLAMATION);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DialogSeen seen;
    EXPECT_EQ(Report(c.code, c.buttons, c.detail, c.label, c.answer, &seen),
              c.choice);
    EXPECT_EQ(seen.headline, c.headline);
    EXPECT_EQ(seen.detail_control, c.detail_shown != nullptr);
    if (c.detail_shown != nullptr) EXPECT_EQ(seen.detail, c.detail_shown);
    EXPECT_TRUE(seen.change_drive.hidden);
    if (c.try_again != nullptr) {
      EXPECT_TRUE(seen.try_again.shown);
      EXPECT_EQ(seen.try_again.text, c.try_again);
    } else {
      EXPECT_TRUE(seen.try_again.hidden);
    }
    EXPECT_TRUE(seen.first.shown);
    EXPECT_EQ(seen.first.text, c.first);
    EXPECT_EQ(seen.icon, exclamation);
    EXPECT_TRUE(seen.centred);
    ResetStatus();
  }

  // The message text of one row in full: the texts are the string table's.
  DialogSeen seen;
  Report(kCodeOutOfMemory, kButtonsExitOnly, nullptr, 0, Answer::kClickFirst, &seen);
  EXPECT_EQ(seen.message, out_of_memory_message);
}

// Template 118 keeps room for the detail; 119 moves the message and the
// buttons up.
TEST_F(ErrorDialogTest, TemplateFollowsTheDetailText) {
  struct Case {
    const char* detail;
    bool detail_control;
    RECT message;
    LONG button_top;
  } cases[] = {
      {"c:\\x", true, {54, 73, 54 + 185, 73 + 42}, 127},
      {nullptr, false, {54, 42, 54 + 185, 42 + 42}, 96},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.detail != nullptr ? "with detail" : "without detail");
    DialogSeen seen;
    Report(kCodeOutOfMemory, kButtonsRetry, c.detail, 0, Answer::kClickFirst, &seen);
    EXPECT_EQ(seen.detail_control, c.detail_control);
    EXPECT_EQ(seen.message_place.left, c.message.left);
    EXPECT_EQ(seen.message_place.top, c.message.top);
    EXPECT_EQ(seen.message_place.right, c.message.right);
    EXPECT_EQ(seen.message_place.bottom, c.message.bottom);
    const struct {
      const ButtonSeen& button;
      LONG left;
    } places[] = {{seen.change_drive, 18}, {seen.try_again, 100}, {seen.first, 182}};
    for (const auto& p : places) {
      EXPECT_EQ(p.button.place.left, p.left);
      EXPECT_EQ(p.button.place.top, c.button_top);
      EXPECT_EQ(p.button.place.right - p.button.place.left, 72);
      EXPECT_EQ(p.button.place.bottom - p.button.place.top, 14);
    }
    ResetStatus();
  }
}

// A code outside the table: the default row, Try Again allowed, and the
// system's own text after the label "Error:" (after the caller's detail and
// a line break when there is one).
TEST_F(ErrorDialogTest, CodeOutsideTheTableShowsTheSystemText) {
  const std::string system_text = SystemText(ERROR_ACCESS_DENIED);
  ASSERT_FALSE(system_text.empty());
  struct Case {
    const char* detail;
    std::string expected;
  } cases[] = {
      {nullptr, "Error:   " + system_text},
      {"c:\\x\\a.dll", "File:   c:\\x\\a.dll\nError:   " + system_text},
  };
  for (const Case& c : cases) {
    DialogSeen seen;
    EXPECT_EQ(Report(ERROR_ACCESS_DENIED, kButtonsRetry, c.detail,
                     c.detail != nullptr ? IDS_LABEL_FILE : 0, Answer::kClickTryAgain, &seen),
              kChoiceRetry);
    EXPECT_EQ(seen.headline, "Operating system error");
    EXPECT_TRUE(seen.detail_shown);
    EXPECT_EQ(seen.detail, c.expected);
    EXPECT_EQ(seen.try_again.text, kTryAgain);
    EXPECT_EQ(seen.first.text, kExit);
    ResetStatus();
  }
}

// Commands that do not come from a shown button: 2 and 4 under exit-only
// answer "no choice"; under retry allowed, 2 (Escape) is Change Drive, which
// callers take as giving up; any other id leaves the dialog open.
TEST_F(ErrorDialogTest, CommandsWithoutAShownButton) {
  struct Case {
    const char* name;
    uint32_t buttons;
    Answer answer;
    uint32_t choice;
  } cases[] = {
      {"exit-only, command 4", kButtonsExitOnly, Answer::kCommandTryAgain, kChoiceNone},
      {"exit-only, command 2", kButtonsExitOnly, Answer::kCommandChangeDrive, kChoiceNone},
      {"retry, command 2", kButtonsRetry, Answer::kCommandChangeDrive, kChoiceChangeDrive},
      {"command 3 ignored", kButtonsRetry, Answer::kIgnoredThenFirst, kChoiceFirst},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Status().user_choice = 99;
    DialogSeen seen;
    EXPECT_EQ(Report(kCodeOutOfMemory, c.buttons, nullptr, 0, c.answer, &seen), c.choice);
    if (c.answer == Answer::kIgnoredThenFirst) EXPECT_TRUE(seen.open_after_ignored_command);
    ResetStatus();
  }
}

// The dialog belongs to the window that was active when the report came,
// which stays disabled while the dialog is open.
TEST_F(ErrorDialogTest, OwnedByTheActiveWindow) {
  HWND page = CreateWindowA("STATIC", "page", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200,
                            nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(page, nullptr);
  SetActiveWindow(page);
  ASSERT_EQ(GetActiveWindow(), page);
  bool page_disabled = false;
  DialogWatch watch(kCaption, [&](HWND dialog) {
    page_disabled = !IsWindowEnabled(page);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), page);
    Click(dialog, IDC_ERROR_FIRST_BUTTON);
  });
  EXPECT_EQ(ReportError(kCodeOutOfMemory, kButtonsRetry, nullptr, 0), kChoiceFirst);
  watch.Stop();
  EXPECT_TRUE(watch.found());
  EXPECT_TRUE(page_disabled);
  DestroyWindow(page);
}

}  // namespace
}  // namespace kest
