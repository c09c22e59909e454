#include "tests/ui/dialog_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>

#include "tests/support/win32_test_support.h"
#include "tests/ui/dialog_template.h"
#include "tests/ui/screen_capture.h"

namespace kest::test {

Step ExpectDialog(int template_id) { return {Act::kExpectDialog, template_id}; }
Step ExpectText(int control, const std::string& text) { return {Act::kExpectText, control, text}; }
Step ExpectTextHas(int control, const std::string& part) {
  return {Act::kExpectTextHas, control, part};
}
Step ExpectShown(int control) { return {Act::kExpectShown, control}; }
Step ExpectHidden(int control) { return {Act::kExpectHidden, control}; }
Step ExpectChecked(int control) { return {Act::kExpectChecked, control}; }
Step ExpectClear(int control) { return {Act::kExpectClear, control}; }
Step SetText(int control, const std::string& text) { return {Act::kSetText, control, text}; }
Step Press(int control) { return {Act::kPress, control}; }
Step Escape() { return {Act::kEscape}; }
Step Screenshot(const std::string& name) { return {Act::kScreenshot, 0, name}; }
Step ScreenshotAll(const std::string& name) { return {Act::kScreenshotAll, 0, name}; }
Step ExpectOnScreen() { return {Act::kExpectOnScreen}; }
Step ExpectExit(DWORD code) { return {Act::kExpectExit, 0, "", code}; }
Step ExpectWindow(const std::string& caption) { return {Act::kExpectWindow, 0, caption}; }
Step Do(const std::string& what, std::function<bool(HWND, std::string*)> action) {
  return {Act::kDo, 0, what, 0, std::move(action)};
}

namespace {

// Upper bounds only: a step that is met returns at once.
constexpr DWORD kDialogWaitMs = 30000;
constexpr DWORD kExitWaitMs = 60000;
constexpr UINT kSendTimeoutMs = 10000;

std::string TextOf(HWND window) {
  char text[4096] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
  return text;
}

BOOL CALLBACK AddChild(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

std::vector<HWND> ChildrenOf(HWND dialog) {
  std::vector<HWND> children;
  EnumChildWindows(dialog, AddChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

// The window was made from the template: same caption, every numbered
// control present, and every unnumbered static with its template text.
bool MadeFrom(HWND window, const DialogTemplate& t) {
  if (TextOf(window) != t.caption) return false;
  std::vector<HWND> children = ChildrenOf(window);
  for (const ControlTemplate& c : t.controls) {
    if (c.id != -1) {
      if (GetDlgItem(window, c.id) == nullptr) return false;
      continue;
    }
    if (c.text.empty()) continue;
    bool found = false;
    for (HWND child : children) {
      if (short(GetDlgCtrlID(child)) == -1 && TextOf(child) == c.text) found = true;
    }
    if (!found) return false;
  }
  return true;
}

struct TopLevelQuery {
  DWORD process_id;
  std::vector<HWND> windows;
};

BOOL CALLBACK AddIfOfProcess(HWND window, LPARAM query_address) {
  auto* query = reinterpret_cast<TopLevelQuery*>(query_address);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == query->process_id && IsWindowVisible(window)) query->windows.push_back(window);
  return TRUE;
}

class Driver {
 public:
  Driver(const std::string& installer, const std::string& arguments,
         const std::string& directory)
      : templates_(ReadDialogTemplates(installer)) {
    std::string command = "\"" + installer + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    started_ = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                              directory.empty() ? nullptr : directory.c_str(), &startup,
                              &process_) != FALSE;
  }
  ~Driver() {
    if (!started_) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, kExitWaitMs);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }

  bool started() const { return started_; }
  bool has_templates() const { return !templates_.empty(); }

  // Plays one step; false with the reason in *why when it fails.
  bool Play(const Step& step, std::string* why) {
    switch (step.act) {
      case Act::kExpectDialog:
        return WaitForDialog(step.id, why);
      case Act::kExpectExit:
        return WaitForExit(step.code, why);
      case Act::kExpectWindow:
        return WaitForWindow(step.text, why);
      case Act::kDo: {
        const bool done = step.action(dialog_ != nullptr && IsWindow(dialog_) ? dialog_ : nullptr, why);
        if (dialog_ != nullptr && IsWindow(dialog_)) Settle();
        return done;
      }
      case Act::kEscape:
        if (!NeedDialog(why)) return false;
        PostMessageA(dialog_, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageA(dialog_, WM_KEYUP, VK_ESCAPE, 0xC0010001);
        Settle();
        return true;
      case Act::kScreenshot:
      case Act::kScreenshotAll:
        if (!NeedDialog(why)) return false;
        return Photograph(step.text, step.act == Act::kScreenshotAll, why);
      case Act::kExpectOnScreen: {
        if (!NeedDialog(why)) return false;
        RECT own = {}, screen = {};
        GetWindowRect(dialog_, &own);
        GetWindowRect(GetDesktopWindow(), &screen);
        char text[128];
        snprintf(text, sizeof(text), "at %ld,%ld to %ld,%ld on a screen of %ld x %ld", own.left,
                 own.top, own.right, own.bottom, screen.right - screen.left,
                 screen.bottom - screen.top);
        *why = text;
        return own.left >= screen.left && own.top >= screen.top && own.right <= screen.right &&
               own.bottom <= screen.bottom;
      }
      default:
        break;
    }
    if (!NeedDialog(why)) return false;
    HWND control = GetDlgItem(dialog_, step.id);
    if (control == nullptr) {
      *why = "no control " + std::to_string(step.id);
      return false;
    }
    const bool usable = IsWindowVisible(control) && IsWindowEnabled(control);
    const std::string text = TextOf(control);
    const LRESULT check = SendMessageA(control, BM_GETCHECK, 0, 0);
    switch (step.act) {
      case Act::kExpectText:
        *why = "text is \"" + text + "\"";
        return text == step.text;
      case Act::kExpectTextHas:
        *why = "text is \"" + text + "\"";
        return text.find(step.text) != std::string::npos;
      case Act::kExpectShown:
        *why = "hidden or disabled";
        return usable;
      case Act::kExpectHidden:
        *why = "visible";
        return !IsWindowVisible(control);
      case Act::kExpectChecked:
        *why = "not ticked";
        return check == BST_CHECKED;
      case Act::kExpectClear:
        *why = "ticked";
        return check == BST_UNCHECKED;
      case Act::kSetText:
      case Act::kPress:
        // A person can neither type into nor click what is hidden or grey.
        if (!usable) {
          *why = "hidden or disabled";
          return false;
        }
        if (step.act == Act::kSetText) {
          DWORD_PTR ignored = 0;
          SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(step.text.c_str()),
                              SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
        } else {
          // Sent, not posted: the installer takes sent messages in their
          // order and ahead of posted ones, so Settle's messages are
          // answered only once the click has been handled or has opened
          // what it opens. A posted click could still wait behind them,
          // and the next step would find the dialog it is about to close.
          SendNotifyMessageA(control, BM_CLICK, 0, 0);
          Settle();
        }
        return true;
      default:
        *why = "unknown step";
        return false;
    }
  }

  // What the process shows: each visible window, the template it was made
  // from, and its controls' texts.
  std::string DescribeScreen() {
    std::ostringstream out;
    for (HWND window : VisibleWindowsOf(process_.dwProcessId)) {
      out << "  window \"" << TextOf(window) << "\"" << (IsWindowEnabled(window) ? "" : " (disabled)");
      for (const DialogTemplate& t : templates_) {
        if (MadeFrom(window, t)) out << " = dialog " << t.id;
      }
      out << "\n";
      for (HWND child : ChildrenOf(window)) {
        out << "    " << short(GetDlgCtrlID(child)) << (IsWindowVisible(child) ? "" : " hidden")
            << (IsWindowEnabled(child) ? "" : " disabled") << ": \"" << TextOf(child).substr(0, 80)
            << "\"\n";
      }
    }
    return out.str();
  }

 private:
  bool NeedDialog(std::string* why) {
    if (dialog_ != nullptr && IsWindow(dialog_)) return true;
    *why = "no dialog expected before this step, or it has closed";
    return false;
  }

  const DialogTemplate* Template(int id) const {
    for (const DialogTemplate& t : templates_) {
      if (t.id == id) return &t;
    }
    return nullptr;
  }

  // The dialog made from the template becomes the active one: visible and
  // enabled (a page that has opened a modal box is disabled under it).
  bool WaitForDialog(int id, std::string* why) {
    const DialogTemplate* t = Template(id);
    if (t == nullptr) {
      *why = "the installer has no dialog template " + std::to_string(id);
      return false;
    }
    return WaitForActive([t](HWND window) { return MadeFrom(window, *t); }, why);
  }

  // A window of the process with this caption becomes the active one.
  bool WaitForWindow(const std::string& caption, std::string* why) {
    return WaitForActive([&caption](HWND window) { return TextOf(window) == caption; }, why);
  }

  bool WaitForActive(const std::function<bool(HWND)>& wanted, std::string* why) {
    const DWORD start = GetTickCount();
    do {
      for (HWND window : VisibleWindowsOf(process_.dwProcessId)) {
        if (IsWindowEnabled(window) && wanted(window)) {
          dialog_ = window;
          Settle();
          return true;
        }
      }
      if (WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        char hex[16];
        snprintf(hex, sizeof(hex), "0x%08lX", static_cast<unsigned long>(code));
        *why = "the process ended with " + std::string(hex) + " instead";
        return false;
      }
    } while (GetTickCount() - start < kDialogWaitMs);
    *why = "did not appear";
    return false;
  }

  bool WaitForExit(DWORD expected, std::string* why) {
    dialog_ = nullptr;
    if (WaitForSingleObject(process_.hProcess, kExitWaitMs) != WAIT_OBJECT_0) {
      *why = "the process is still running";
      return false;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    char text[64];
    snprintf(text, sizeof(text), "exit code 0x%08lX", static_cast<unsigned long>(code));
    *why = text;
    return code == expected;
  }

  // Lets the installer take what the driver gave it. Sent messages are
  // handled in their order, so the first answer comes only once a click
  // sent before has been handled (or has opened a box, whose loop
  // answers). A posted key is taken at the installer's next look at its
  // queue; the second message gives it that look.
  void Settle() {
    for (int i = 0; i < 2; ++i) {
      DWORD_PTR ignored = 0;
      SendMessageTimeoutA(dialog_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
    }
  }

  bool Photograph(const std::string& name, bool whole_screen, std::string* why) {
    RedrawWindow(dialog_, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Settle();
    return PhotographWindow(whole_screen ? GetDesktopWindow() : dialog_, name, why);
  }

  std::vector<DialogTemplate> templates_;
  PROCESS_INFORMATION process_ = {};
  bool started_ = false;
  HWND dialog_ = nullptr;
};

std::string Describe(const Step& step) {
  static const char* const kNames[] = {
      "expect dialog", "expect text", "expect text containing", "expect shown",
      "expect hidden", "expect ticked", "expect clear", "type into",
      "press", "Escape", "screenshot", "screenshot of the screen",
      "expect on the screen", "expect exit", "expect window", "do"};
  std::string s = kNames[int(step.act)];
  if (step.id != 0) s += " " + std::to_string(step.id);
  if (!step.text.empty()) s += " \"" + step.text + "\"";
  return s;
}

}  // namespace

std::vector<HWND> VisibleWindowsOf(DWORD process_id) {
  TopLevelQuery query{process_id, {}};
  EnumWindows(AddIfOfProcess, reinterpret_cast<LPARAM>(&query));
  return query.windows;
}

void RunScenario(const std::string& installer, const std::string& arguments,
                 const std::vector<Step>& steps, const std::string& directory) {
  Driver driver(installer, arguments, directory);
  ASSERT_TRUE(driver.started()) << installer;
  ASSERT_TRUE(driver.has_templates()) << "no dialog templates in " << installer;
  for (size_t i = 0; i < steps.size(); ++i) {
    std::string why;
    if (getenv("KEST_DRIVER_TRACE")) fprintf(stderr, "%lu step %u\n", GetTickCount(), unsigned(i));
    if (!driver.Play(steps[i], &why)) {
      ADD_FAILURE() << "step " << i + 1 << " (" << Describe(steps[i]) << "): " << why
                    << "\non the screen:\n"
                    << driver.DescribeScreen();
      return;
    }
  }
}

}  // namespace kest::test
