// Drives a running installer's dialogs as a person would: waits for each
// dialog of the process, knows it by its template in the installer's own
// resources, reads and changes its controls, presses its buttons and
// Escape, photographs it, and reads the full exit code at the end.
//
// A scenario is a table of steps; RunScenario plays it on a new process and
// reports the first step that fails (with what was on the screen) as a test
// failure. The vocabulary is kept general so that every dialog of the
// installer can be driven with it. KEST_DRIVER_TRACE=1 prints the tick
// count at each step, to see where a slow scenario spends its time.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace kest::test {

enum class Act {
  kExpectDialog,   // id: template; waits until it is the active dialog
  kExpectText,     // id: control; text: its exact text
  kExpectTextHas,  // id: control; text: a part of its text
  kExpectShown,    // id: control visible and enabled
  kExpectHidden,   // id: control not visible
  kExpectChecked,  // id: check box ticked
  kExpectClear,    // id: check box not ticked
  kSetText,        // id: edit control; text: what is typed into it
  kPress,          // id: button, visible and enabled, clicked
  kEscape,         // the Escape key on the active dialog
  kScreenshot,     // text: file name (without .png) under the screenshot folder
  kScreenshotAll,  // the same, of the whole screen
  kExpectOnScreen, // the active dialog lies wholly on the screen
  kExpectExit,     // code: the process ends with this full exit code
  kExpectWindow,   // text: caption of a window that is no template of the
                   // installer's (a system dialog); waits until it is active
  kDo,             // action: runs on the test's side, given the active window
};

struct Step {
  Act act;
  int id = 0;
  std::string text;
  DWORD code = 0;
  // kDo: what is done, given the active window (null if none); false with
  // the reason in *why when it could not be done.
  std::function<bool(HWND window, std::string* why)> action;
};

// Short constructors, so that a scenario reads as a table.
Step ExpectDialog(int template_id);
Step ExpectText(int control, const std::string& text);
Step ExpectTextHas(int control, const std::string& part);
Step ExpectShown(int control);
Step ExpectHidden(int control);
Step ExpectChecked(int control);
Step ExpectClear(int control);
Step SetText(int control, const std::string& text);
Step Press(int control);
Step Escape();
Step Screenshot(const std::string& name);
Step ScreenshotAll(const std::string& name);
Step ExpectOnScreen();
Step ExpectExit(DWORD code);
Step ExpectWindow(const std::string& caption);
// `what` names the action in a failure report.
Step Do(const std::string& what, std::function<bool(HWND window, std::string* why)> action);

// The visible top-level windows of a process.
std::vector<HWND> VisibleWindowsOf(DWORD process_id);

// Starts "installer" arguments (in `directory` when one is given, else in
// the test program's current directory) and plays steps on it. A failed
// step stops the scenario, and the process is then ended (through its
// handle).
void RunScenario(const std::string& installer, const std::string& arguments,
                 const std::vector<Step>& steps, const std::string& directory = "");

}  // namespace kest::test
