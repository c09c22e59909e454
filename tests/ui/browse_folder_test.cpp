// Browse for real: on Windows NT the file-open dialog with template 105 from
// this program's resources, on the Windows 95 family the shell's folder
// browser (and a shell without it), each answered by a second thread.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dialog_watch.h"
#include "resources/resource_ids.h"
#include "tests/support/win32_test_support.h"
#include "ui/browse_folder_win32.h"

namespace kest {
namespace {

using test::Click;
using test::DialogWatch;
using test::ScratchFolder;
using test::WindowText;

constexpr char kRecordFolder[] = "c:\\morvane\\components";

std::string CurrentDirectory() {
  char path[MAX_PATH];
  DWORD n = GetCurrentDirectoryA(MAX_PATH, path);
  return std::string(path, n < MAX_PATH ? n : 0);
}

// A scratch folder with the subfolders alpha and beta (under parent, or
// the temporary folder), made the current directory while the object lives.
class BrowseFixture : public ::testing::Test {
 protected:
  explicit BrowseFixture(const std::string& parent = "") : scratch_(parent) {}
  void SetUp() override {
    saved_ = CurrentDirectory();
    ASSERT_TRUE(CreateDirectoryA(scratch_.File("alpha").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(scratch_.File("beta").c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA(scratch_.path().c_str()));
    start_ = CurrentDirectory();  // as the system spells it
  }
  void TearDown() override { SetCurrentDirectoryA(saved_.c_str()); }

  // Runs BrowseForFolder on kRecordFolder (or `folder`) with the dialog
  // answered by act; returns the buffer.
  std::string Browse(const char* caption, void (*act)(HWND, std::string*), std::string* seen,
                     const std::string& folder = kRecordFolder) {
    char buffer[MAX_PATH];
    strcpy(buffer, folder.c_str());
    DialogWatch watch(caption, [&](HWND dialog) { act(dialog, seen); });
    BrowseForFolder(nullptr, buffer);
    watch.Stop();
    EXPECT_TRUE(watch.found()) << "no dialog \"" << caption << "\"";
    return buffer;
  }

  ScratchFolder scratch_;
  std::string saved_;
  std::string start_;
};

// ---- Windows NT: the file-open dialog -------------------------------------

class BrowseWindowsNt : public BrowseFixture {
 protected:
  void SetUp() override {
    if ((GetVersion() & 0x80000000u) != 0) GTEST_SKIP() << "Windows 95 family";
    BrowseFixture::SetUp();
  }
};

constexpr char kFileDialogCaption[] = "Browse";

// The folder list's index of the subfolder `name` (the list shows "[name]").
int FolderIndex(HWND dialog, const char* name) {
  std::string item = std::string("[") + name + "]";
  return static_cast<int>(SendDlgItemMessageA(dialog, IDC_BROWSE_FOLDERS, LB_FINDSTRINGEXACT,
                                              static_cast<WPARAM>(-1),
                                              reinterpret_cast<LPARAM>(item.c_str())));
}

// Opens a subfolder as a double click in the folder list does.
void OpenFolder(HWND dialog, const char* name) {
  HWND list = GetDlgItem(dialog, IDC_BROWSE_FOLDERS);
  SendMessageA(list, LB_SETCURSEL, FolderIndex(dialog, name), 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_BROWSE_FOLDERS, LBN_DBLCLK),
               reinterpret_cast<LPARAM>(list));
}

// What the dialog showed when it opened: the folder at the top, and which
// of the template's controls a person sees.
void SeeDialog(HWND dialog, std::string* seen) {
  *seen = WindowText(GetDlgItem(dialog, IDC_BROWSE_PATH)) + "|";
  const int controls[] = {IDC_BROWSE_FOLDERS, IDC_BROWSE_DRIVES, IDOK, IDCANCEL,
                          IDC_BROWSE_NAME, IDC_BROWSE_FILES, IDC_BROWSE_TYPES};
  for (int id : controls) {
    if (IsWindowVisible(GetDlgItem(dialog, id))) *seen += std::to_string(id) + " ";
  }
}

TEST_F(BrowseWindowsNt, TheOpenedFolderIsTheAnswer) {
  const std::string alpha = start_ + "\\alpha";
  struct Case {
    const char* name;
    void (*act)(HWND, std::string*);
    std::string expected;
  } cases[] = {
      {"open alpha, OK",
       [](HWND dialog, std::string* seen) {
         SeeDialog(dialog, seen);
         OpenFolder(dialog, "alpha");
         Click(dialog, IDOK);
       },
       alpha},
      {"beta only highlighted, OK",
       [](HWND dialog, std::string* seen) {
         SeeDialog(dialog, seen);
         SendDlgItemMessageA(dialog, IDC_BROWSE_FOLDERS, LB_SETCURSEL, FolderIndex(dialog, "beta"),
                             0);
         Click(dialog, IDOK);
       },
       start_},
      {"open alpha, Cancel",
       [](HWND dialog, std::string* seen) {
         SeeDialog(dialog, seen);
         OpenFolder(dialog, "alpha");
         Click(dialog, IDCANCEL);
       },
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(SetCurrentDirectoryA(start_.c_str()));
    std::string seen;
    EXPECT_EQ(test::Lower(Browse(kFileDialogCaption, c.act, &seen)), test::Lower(c.expected));
    // Starts in the current directory (not the record's folder) and shows
    // the folders and drives only. The current directory is not restored:
    // after OK it is the folder opened.
    EXPECT_EQ(test::Lower(seen), test::Lower(start_) + "|1121 1137 1 2 ");
    if (!c.expected.empty()) EXPECT_EQ(test::Lower(CurrentDirectory()), test::Lower(c.expected));
  }
}

// ---- Windows 95 family: the shell's folder browser ------------------------

// The system drive, as "C:".
std::string SystemDrive() {
  char windows[MAX_PATH];
  UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
  return std::string(windows, n >= 2 && n < MAX_PATH ? 2 : 0);
}

// The scratch folder lies at the top of the system drive, away from the
// profile and its temporary folder. Wine's shell browser finds the folder
// to select by comparing each element of the path, as it was when the path
// was parsed, byte for byte with the items it lists as it opens the tree,
// last-write time included: a folder on the path that changes in between
// (the temporary folder gains and loses files as other programs run) makes
// it open with nothing selected, and a path through the profile is never
// matched the first time the shell opens it in a process. Nothing but this
// test writes in its own folder, and the drive's own item has no time.
class BrowseWindows95 : public BrowseFixture {
 protected:
  BrowseWindows95() : BrowseFixture(SystemDrive()) {}
  void SetUp() override {
    const char* version = test::RequestedWindowsVersion();
    if (version == nullptr || strcmp(version, "win95") != 0) GTEST_SKIP() << "run under win95";
    BrowseFixture::SetUp();
  }
};

constexpr char kShellBrowserCaption[] = "Browse for Folder";

std::string ItemText(HWND tree, HTREEITEM item) {
  char text[MAX_PATH] = {};
  TVITEMA info = {};
  info.mask = TVIF_TEXT;
  info.hItem = item;
  info.pszText = text;
  info.cchTextMax = sizeof(text);
  if (item == nullptr || !SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&info))) {
    return "";
  }
  return text;
}

HTREEITEM NextItem(HWND tree, UINT which, HTREEITEM item) {
  return reinterpret_cast<HTREEITEM>(
      SendMessageA(tree, TVM_GETNEXTITEM, which, reinterpret_cast<LPARAM>(item)));
}

std::string SelectedTreeItem(HWND browser) {
  HWND tree = FindWindowExA(browser, nullptr, "SysTreeView32", nullptr);
  return ItemText(tree, NextItem(tree, TVGN_CARET, nullptr));
}

// Waits (with a hang guard) until the tree shows the folder named `name`
// selected. False if it never does.
bool WaitForSelection(HWND browser, const std::string& name) {
  return test::WaitUntil(20000, [&] { return test::Lower(SelectedTreeItem(browser)) == name; });
}

// The tree item named `name` beside the selected one (same parent), made
// the selection as a click on it would; false when there is none.
bool SelectSibling(HWND browser, const std::string& name) {
  HWND tree = FindWindowExA(browser, nullptr, "SysTreeView32", nullptr);
  HTREEITEM parent = NextItem(tree, TVGN_PARENT, NextItem(tree, TVGN_CARET, nullptr));
  for (HTREEITEM item = NextItem(tree, TVGN_CHILD, parent); item != nullptr;
       item = NextItem(tree, TVGN_NEXT, item)) {
    if (test::Lower(ItemText(tree, item)) == name) {
      return SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0;
    }
  }
  return false;
}

// The browser opens with the record's folder selected, so OK then returns
// that folder's path; another folder chosen in the tree returns its path;
// Cancel leaves the buffer as it was. (The other folder is chosen in the
// tree once the first selection shows, as a person chooses it.)
TEST_F(BrowseWindows95, ChosenFolderOrTheRecordsFolder) {
  const std::string beta = start_ + "\\beta";
  struct Case {
    const char* name;
    UINT command;
    std::string folder;  // the record's folder
    std::string expected;
    const char* choose = nullptr;  // a folder beside it chosen in the tree
  } cases[] = {
      {"cancel", IDCANCEL, beta, beta},
      {"OK at once", IDOK, beta, beta},
      {"OK at once, another folder", IDOK, start_, start_},
      {"alpha chosen beside beta, OK", IDOK, beta, start_ + "\\alpha", "alpha"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char buffer[MAX_PATH];
    strcpy(buffer, c.folder.c_str());
    const std::string name = test::Lower(c.folder.substr(c.folder.find_last_of('\\') + 1));
    bool selected = false;
    DialogWatch watch(kShellBrowserCaption, [&](HWND browser) {
      selected = c.command == IDCANCEL || WaitForSelection(browser, name);
      if (selected && c.choose != nullptr) {
        selected = SelectSibling(browser, c.choose) && WaitForSelection(browser, c.choose);
      }
      PostMessageA(browser, WM_COMMAND, c.command, 0);
    });
    BrowseForFolder(nullptr, buffer);
    watch.Stop();
    EXPECT_TRUE(watch.found());
    EXPECT_TRUE(selected) << "the browser did not open on " << c.folder;
    EXPECT_EQ(test::Lower(buffer), test::Lower(c.expected));
    EXPECT_EQ(CurrentDirectory(), start_);
  }
}

// Counts the windows created on this thread while it lives.
class WindowCounter {
 public:
  WindowCounter() {
    count_ = 0;
    hook_ = SetWindowsHookExA(WH_CBT, Count, nullptr, GetCurrentThreadId());
  }
  ~WindowCounter() { UnhookWindowsHookEx(hook_); }
  static int count() { return count_; }

 private:
  static LRESULT CALLBACK Count(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_CREATEWND) ++count_;
    return CallNextHookEx(nullptr, code, wparam, lparam);
  }
  static int count_;
  HHOOK hook_;
};
int WindowCounter::count_ = 0;

TEST_F(BrowseWindows95, ShellWithoutTheBrowserShowsNothing) {
  if (getenv("KEST_TEST_NO_SHELL") == nullptr) GTEST_SKIP() << "run without shell32";
  // The situation is real: the system's shell library cannot be loaded.
  char shell_path[MAX_PATH];
  GetSystemDirectoryA(shell_path, MAX_PATH);
  strcat(shell_path, "\\shell32.dll");
  ASSERT_EQ(LoadLibraryA(shell_path), nullptr);

  char buffer[MAX_PATH] = "c:\\morvane\\components";
  WindowCounter counter;
  for (int press = 0; press < 2; ++press) BrowseForFolder(nullptr, buffer);
  EXPECT_EQ(WindowCounter::count(), 0);
  EXPECT_STREQ(buffer, "c:\\morvane\\components");
  EXPECT_EQ(CurrentDirectory(), start_);
}

// Runs the tests above in programs that Wine tells they run on Windows 95,
// once with the system's shell and once with shell32 switched off for this
// program (a per-program DLL override).
// shell32 switched off, and the test that expects it told so.
class ScopedShellOff {
 public:
  explicit ScopedShellOff(const std::string& exe_name) : off_(exe_name, "shell32") {
    SetEnvironmentVariableA("KEST_TEST_NO_SHELL", "1");
  }
  ~ScopedShellOff() { SetEnvironmentVariableA("KEST_TEST_NO_SHELL", nullptr); }

 private:
  test::ScopedDllOff off_;
};

std::string ThisProgramName() {
  char program[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string path(program, n < MAX_PATH ? n : 0);
  return path.substr(path.find_last_of('\\') + 1);
}

TEST(BrowseUnderWindows95, WithAndWithoutTheShellsBrowser) {
  if (test::RequestedWindowsVersion() != nullptr) GTEST_SKIP() << "already a child";
  test::ExpectTestsPassUnder({"win95"}, "BrowseWindows95.ChosenFolderOrTheRecordsFolder");
  ScopedShellOff off(ThisProgramName());
  test::ExpectTestsPassUnder({"win95"}, "BrowseWindows95.ShellWithoutTheBrowserShowsNothing");
}

}  // namespace
}  // namespace kest
