// Browse on the folder page of real wizard runs: the file-open dialog cut
// down to folders on Windows NT, the shell's folder browser on Windows 95,
// and a Windows 95 shell that cannot be loaded. Chosen or cancelled, the
// page's edit then shows the folder the run holds.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/support/win32_test_support.h"
#include "tests/ui/dialog_driver.h"
#include "tests/ui/wizard_scenarios.h"

namespace kest {
namespace {

using namespace test;  // the driver's vocabulary

std::string ControlText(HWND dialog, int control) {
  char text[MAX_PATH] = {};
  GetDlgItemTextA(dialog, control, text, sizeof(text));
  return text;
}

// The control shows `folder`, as the system spells it (the old-style
// dialog shows paths lower-cased).
Step ExpectFolder(int control, const std::string& folder) {
  return Do("control " + std::to_string(control) + " shows " + folder,
            [control, folder](HWND dialog, std::string* why) {
              const std::string text = ControlText(dialog, control);
              *why = "text is \"" + text + "\"";
              return Lower(text) == Lower(folder);
            });
}

// From the folder page to Exit Install, confirmed.
std::vector<Step> Leave() {
  return Join({{ExpectDialog(IDD_CHOOSE_FOLDER), Press(IDC_EXIT_INSTALL)}, kConfirmExit});
}

// ---- Windows NT: the file-open dialog -------------------------------------

// Opens a subfolder of the folder list as a double click does.
Step OpenFolder(const char* name) {
  return Do(std::string("open ") + name, [name](HWND dialog, std::string* why) {
    const std::string item = std::string("[") + name + "]";
    const LRESULT index = SendDlgItemMessageA(dialog, IDC_BROWSE_FOLDERS, LB_FINDSTRINGEXACT,
                                              WPARAM(-1), reinterpret_cast<LPARAM>(item.c_str()));
    *why = "no " + item + " in the folder list";
    if (index == LB_ERR) return false;
    HWND list = GetDlgItem(dialog, IDC_BROWSE_FOLDERS);
    SendMessageA(list, LB_SETCURSEL, WPARAM(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_BROWSE_FOLDERS, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(list));
    return true;
  });
}

TEST(BrowseScenario, FileDialogOnWindowsNt) {
  ScratchFolder start;  // the installer's current directory
  ASSERT_TRUE(CreateDirectoryA(start.File("alpha").c_str(), nullptr));
  // What is typed before Browse is not what Browse starts from or keeps.
  const std::vector<Step> open_browse = {
      ExpectDialog(IDD_CHOOSE_FOLDER), SetText(IDC_FOLDER_EDIT, "c:\\typed"), Press(IDC_BROWSE),
      ExpectWindow("Browse"), ExpectFolder(IDC_BROWSE_PATH, start.path()),
      ExpectShown(IDC_BROWSE_FOLDERS), ExpectShown(IDC_BROWSE_DRIVES),
      ExpectHidden(IDC_BROWSE_NAME), ExpectHidden(IDC_BROWSE_FILES),
      ExpectHidden(IDC_BROWSE_TYPES)};
  Scenario scenarios[] = {
      {"alpha opened, OK: the edit shows alpha",
       "",
       Join({kToDestination, open_browse,
             {Screenshot("browse-windows-nt"), OpenFolder("alpha"),
              ExpectFolder(IDC_BROWSE_PATH, start.File("alpha")), Press(IDOK), ExpectDialog(IDD_CHOOSE_FOLDER),
              ExpectFolder(IDC_FOLDER_EDIT, start.File("alpha"))},
             Leave()})},
      {"alpha opened, Cancel: the edit shows the run's folder",
       "",
       Join({kToDestination, open_browse,
             {OpenFolder("alpha"), Press(IDCANCEL), ExpectDialog(IDD_CHOOSE_FOLDER),
              ExpectText(IDC_FOLDER_EDIT, kDefaultFolder)},
             Leave()})},
  };
  for (Scenario& s : scenarios) {
    s.directory = start.path();
    Play(s, "nt40");
  }
  EXPECT_FALSE(FileExists(start.File("alpha\\readme.txt")));
}

// ---- Windows 95: the shell's folder browser -------------------------------

// The depth of the browser's selected tree item (the desktop is 0), found
// through item handles alone: a tree of another process cannot be asked
// for its texts.
int SelectionDepth(HWND tree) {
  auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (item == nullptr) return -1;
  int depth = 0;
  while ((item = reinterpret_cast<HTREEITEM>(
              SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)))) !=
         nullptr) {
    ++depth;
  }
  return depth;
}

HWND TreeOf(HWND browser) { return FindWindowExA(browser, nullptr, "SysTreeView32", nullptr); }

// The browser shows the run's folder, C:\Morvane Components, selected (the
// desktop, the computer, the drive, the folder): it applies that selection
// a moment after it shows up.
Step ExpectRunsFolderSelected() {
  return Do("the run's folder selected", [](HWND browser, std::string* why) {
    HWND tree = TreeOf(browser);
    test::WaitUntil(20000, [&] { return SelectionDepth(tree) == 3; });
    *why = "the selection lies at depth " + std::to_string(SelectionDepth(tree));
    return SelectionDepth(tree) == 3;
  });
}

// A click on the selected folder's parent: the drive.
Step SelectParent() {
  return Do("select the drive", [](HWND browser, std::string* why) {
    HWND tree = TreeOf(browser);
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    auto parent = reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
    *why = "no parent to select";
    return parent != nullptr &&
           SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(parent)) != 0 &&
           SelectionDepth(tree) == 2;
  });
}

// Nothing but the page is shown by the process.
Step ExpectNothingOpened() {
  return Do("nothing but the page shown", [](HWND page, std::string* why) {
    DWORD process = 0;
    GetWindowThreadProcessId(page, &process);
    const std::vector<HWND> shown = VisibleWindowsOf(process);
    *why = std::to_string(shown.size()) + " windows shown";
    return shown.size() == 1 && shown[0] == page;
  });
}

TEST(BrowseScenario, ShellBrowserOnWindows95) {
  // The browser opens on the run's folder only when it exists.
  ASSERT_TRUE(CreateDirectoryA("C:\\Morvane Components", nullptr) ||
              GetLastError() == ERROR_ALREADY_EXISTS);
  const std::vector<Step> open_browse = {
      ExpectDialog(IDD_CHOOSE_FOLDER), SetText(IDC_FOLDER_EDIT, "c:\\typed"), Press(IDC_BROWSE),
      ExpectWindow("Browse for Folder")};
  // Cancelled first, then chosen in the same run: Wine's browser may not
  // apply the selection asked for the first time it opens in a process.
  Play({"Cancel, then the drive chosen",
        "",
        Join({kToDestination, open_browse,
              {Press(IDCANCEL), ExpectDialog(IDD_CHOOSE_FOLDER),
               ExpectText(IDC_FOLDER_EDIT, kDefaultFolder)},
              open_browse,
              {ExpectRunsFolderSelected(), Screenshot("browse-windows-95"), SelectParent(),
               Press(IDOK), ExpectDialog(IDD_CHOOSE_FOLDER), ExpectFolder(IDC_FOLDER_EDIT, "C:\\")},
              Leave()})},
       "win95");
  {
    // Loading the system's shell library fails for the installer.
    ScopedDllOff off("MorvaneSetup.exe", "shell32");
    Play({"no shell: Browse shows nothing",
          "",
          Join({kToDestination,
                {ExpectDialog(IDD_CHOOSE_FOLDER), Press(IDC_BROWSE), ExpectDialog(IDD_CHOOSE_FOLDER),
                 ExpectNothingOpened(), Press(IDC_BROWSE), ExpectNothingOpened(),
                 ExpectText(IDC_FOLDER_EDIT, kDefaultFolder)},
                Leave()})},
         "win95");
  }
  RemoveDirectoryA("C:\\Morvane Components");
}

}  // namespace
}  // namespace kest
