// The error dialog as a person meets it in real wizard runs of the sample
// installer: each situation is made real (no host product, Windows NT 3.51,
// a damaged package, a read-only file to replace, a component in use, a folder that cannot be
// made), and each answer's effect on the run is checked. The component that
// will not register is among the wizard scenarios.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/support/win32_test_support.h"
#include "tests/ui/dialog_driver.h"
#include "tests/ui/wizard_scenarios.h"

namespace kest {
namespace {

using namespace test;  // the driver's vocabulary

// The dialog without a detail, offering only its first button.
std::vector<Step> OnlyButton(const char* headline, const char* message_start,
                             const char* button) {
  return {ExpectDialog(IDD_ERROR),
          ExpectText(IDC_ERROR_HEADLINE, headline),
          ExpectTextHas(IDC_ERROR_MESSAGE, message_start),
          ExpectText(IDC_ERROR_FIRST_BUTTON, button),
          ExpectHidden(IDC_ERROR_TRY_AGAIN),
          ExpectHidden(IDC_ERROR_CHANGE_DRIVE)};
}

// Squared distance of two colours.
int ColourDistance(COLORREF a, COLORREF b) {
  const int r = GetRValue(a) - GetRValue(b), g = GetGValue(a) - GetGValue(b),
            blue = GetBValue(a) - GetBValue(b);
  return r * r + g * g + blue * blue;
}

// Whether the window's caption is drawn as the active window's, read from
// the screen after the frame is drawn again: the top row of the caption
// bar, just inside the frame, where the caption text never reaches, is
// nearer the system's active caption colour than its inactive one. (A
// window can be in front and have the keyboard and still be drawn
// inactive, when it was activated before its process held the foreground.)
bool CaptionDrawnActive(HWND window, std::string* why) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
  for (int i = 0; i < 2; ++i) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
  }
  RECT outer = {};
  GetWindowRect(window, &outer);
  POINT client = {0, 0};
  ClientToScreen(window, &client);
  const int frame = client.x - outer.left;
  HDC screen = GetDC(nullptr);
  const COLORREF seen = GetPixel(screen, client.x + 1, outer.top + frame + 1);
  ReleaseDC(nullptr, screen);
  const COLORREF active = GetSysColor(COLOR_ACTIVECAPTION);
  const COLORREF inactive = GetSysColor(COLOR_INACTIVECAPTION);
  char text[128];
  snprintf(text, sizeof(text), "caption colour %06lX; active %06lX, inactive %06lX",
           static_cast<unsigned long>(seen), static_cast<unsigned long>(active),
           static_cast<unsigned long>(inactive));
  *why = text;
  return seen != CLR_INVALID && ColourDistance(seen, active) < ColourDistance(seen, inactive);
}

// The first dialog of a run is in front and drawn as the active window, so
// that the keyboard reaches it and the person sees that it does: Enter,
// typed as a person types it, answers it with its first button.
std::vector<Step> InFrontAndEnterAnswers() {
  return {Do("see the dialog in front",
             [](HWND window, std::string* why) {
               if (GetForegroundWindow() == window) return true;
               *why = "another window is in front";
               return false;
             }),
          Do("see the dialog drawn active", CaptionDrawnActive),
          Do("press Enter", [](HWND, std::string*) {
            INPUT keys[2] = {};
            keys[0].type = keys[1].type = INPUT_KEYBOARD;
            keys[0].ki.wVk = keys[1].ki.wVk = VK_RETURN;
            keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
            return SendInput(2, keys, sizeof(INPUT)) == 2;
          })};
}

// The notices of the start: whatever the answer, the run goes on to the
// agreement page.
TEST(ErrorScenario, StartUpNoticesLetTheRunGoOn) {
  const std::vector<Step> then_leave = Join(
      {{ExpectDialog(IDD_AGREEMENT), Press(IDC_EXIT_INSTALL)}, kConfirmExit});
  Scenario no_host = {
      "no host product: Continue",
      "",
      Join({OnlyButton("Scriba V4.1 (32-bit version) not found",
                       "Install was unable to locate a 32-bit version of Scriba V4.1.", "Continue"),
            {Screenshot("error-without-detail")}, InFrontAndEnterAnswers(), then_leave})};
  no_host.host = false;
  Play(no_host);

  Play({"Windows NT 3.51: OK",
        "",
        Join({OnlyButton("If you are running Windows NT and have not yet upgraded from release "
                         "3.51, you may encounter some error messages the first time you run "
                         "this installation program.",
                         "If so, simply reboot your workstation", "OK"),
              InFrontAndEnterAnswers(), then_leave})},
       "nt351");

  // A pack without a dependency record: nothing else clears the warning,
  // and the installation it let go on completes.
  const std::string nodeps = WindowsPath(KEST_SCENARIO_PACKS) + "\\nodeps.exe";
  for (const char* version : {"win10", "nt351"}) {
    ScratchFolder folder;
    Scenario s = {"no dependency record: the warning answered, then installed",
                  "",
                  Join({{ExpectDialog(IDD_ERROR), Press(IDC_ERROR_FIRST_BUTTON)},
                        kToDestination,
                        {ExpectDialog(IDD_CHOOSE_FOLDER), SetText(IDC_FOLDER_EDIT, folder.path()),
                         Press(IDC_NEXT), ExpectDialog(IDD_COMPLETE), Press(IDC_NEXT),
                         ExpectExit(0)}}),
                  nodeps.c_str()};
    // Windows NT 3.51 gives its notice; the host product is there.
    s.host = strcmp(version, "nt351") == 0;
    Play(s, version);
    EXPECT_TRUE(FileExists(folder.File("nodeps.txt"))) << version;
  }
}

// A package changed after it was signed: the dialog says the files are
// damaged, names the file and only lets the user leave, before any page is
// shown.
TEST(ErrorScenario, DamagedPackage) {
  ScratchFolder scratch;
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(SampleInstallerPath(), &bytes));
  bytes[bytes.size() - 400] ^= 0x01;  // in the archive, before the signature
  const std::string damaged = scratch.File("Damaged.exe");
  ASSERT_TRUE(WriteWholeFile(damaged, bytes));
  // The dialog with the detail (118): the installer's own file.
  Play({"one byte changed",
        "",
        {ExpectDialog(IDD_ERROR_DETAIL),
         ExpectText(IDC_ERROR_HEADLINE, "Damaged Components files"),
         ExpectTextHas(IDC_ERROR_MESSAGE,
                       "Install has detected a corruption in the Components you are installing."),
         ExpectText(IDC_ERROR_DETAIL, "File:   " + damaged),
         ExpectText(IDC_ERROR_FIRST_BUTTON, "E&xit Install"), ExpectHidden(IDC_ERROR_TRY_AGAIN),
         ExpectHidden(IDC_ERROR_CHANGE_DRIVE), Press(IDC_ERROR_FIRST_BUTTON),
         ExpectExit(0x8040F001)},
        damaged.c_str()});
}

// A read-only file in the way: Continue clears the attribute and replaces
// it; Exit Install leaves it as it was and ends the run with the row's code.
TEST(ErrorScenario, ReadOnlyFileToReplace) {
  struct Case {
    const char* name;
    int answer;
    DWORD exit_code;
    std::vector<Step> after;
    bool replaced;
  } cases[] = {
      {"Continue", IDC_ERROR_TRY_AGAIN, 0, {ExpectDialog(IDD_COMPLETE), Press(IDC_NEXT)}, true},
      {"Exit Install", IDC_ERROR_FIRST_BUTTON, 0x8040F014, {}, false},
  };
  for (const Case& c : cases) {
    ScratchFolder folder;
    const std::string readme = folder.File("readme.txt");
    ASSERT_TRUE(WriteWholeFile(readme, "an older readme"));
    ASSERT_TRUE(SetWriteTime(readme, 0x01A0000000000000ull));  // 1995: older than the pack's
    ASSERT_TRUE(SetFileAttributesA(readme.c_str(), FILE_ATTRIBUTE_READONLY));
    Play({c.name,
          "",
          Join({kToDestination,
                {ExpectDialog(IDD_CHOOSE_FOLDER), SetText(IDC_FOLDER_EDIT, folder.path()),
                 Press(IDC_NEXT), ExpectDialog(IDD_ERROR_DETAIL),
                 ExpectText(IDC_ERROR_HEADLINE, "Cannot access file"),
                 ExpectTextHas(IDC_ERROR_DETAIL, "File:"),
                 ExpectTextHas(IDC_ERROR_DETAIL, "readme.txt"),
                 ExpectTextHas(IDC_ERROR_MESSAGE, "press Continue. Otherwise, press E&xit Install."),
                 ExpectText(IDC_ERROR_TRY_AGAIN, "Continue"),
                 ExpectText(IDC_ERROR_FIRST_BUTTON, "E&xit Install"),
                 ExpectHidden(IDC_ERROR_CHANGE_DRIVE), Screenshot("error-with-detail"),
                 Press(c.answer)},
                c.after,
                {ExpectExit(c.exit_code)}})});
    std::string text;
    EXPECT_TRUE(ReadWholeFile(readme, &text));
    EXPECT_EQ(text != "an older readme", c.replaced) << c.name;
    EXPECT_EQ((GetFileAttributesA(readme.c_str()) & FILE_ATTRIBUTE_READONLY) == 0, c.replaced)
        << c.name;
    SetFileAttributesA(readme.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

// A component in use whose library asks, when told it is about to be
// replaced, for the replacement now rather than at the restart: the user is
// asked to close other applications. Try Again once the file is free
// replaces it; Exit Install ends the run with the row's code and leaves it.
TEST(ErrorScenario, ComponentInUseToReplaceNow) {
  struct Case {
    const char* name;
    bool free_it;
    int answer;
    std::vector<Step> after;
    DWORD exit_code;
  } cases[] = {
      {"freed, Try Again", true, IDC_ERROR_TRY_AGAIN,
       {ExpectDialog(IDD_COMPLETE), Press(IDC_NEXT)}, 0},
      {"Exit Install", false, IDC_ERROR_FIRST_BUTTON, {}, 0x8040F00C},
  };
  std::string installer = SampleInstallerPath();
  const std::string source =
      installer.substr(0, installer.rfind('\\') + 1) + "probe_replace_now\\probe_replace_now.dll";
  for (const Case& c : cases) {
    ScratchFolder folder;
    const std::string target = folder.File("probe_replace_now.dll");
    ASSERT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE)) << source;
    FileHolder holder(target, FileHolder::Mode::kSharedRead);
    ASSERT_TRUE(holder.holding());
    std::vector<Step> steps = Join(
        {kToDestination,
         {ExpectDialog(IDD_CHOOSE_FOLDER), SetText(IDC_FOLDER_EDIT, folder.path()),
          Press(IDC_NEXT), ExpectDialog(IDD_ERROR),
          ExpectText(IDC_ERROR_HEADLINE, "Cannot access file"),
          ExpectTextHas(IDC_ERROR_MESSAGE, "Please close other applications, and press Try Again."),
          ExpectText(IDC_ERROR_TRY_AGAIN, "&Try Again"),
          ExpectText(IDC_ERROR_FIRST_BUTTON, "E&xit Install")}});
    if (c.free_it) {
      steps.push_back(Do("close the file", [&holder](HWND, std::string*) {
        holder.Release();
        return true;
      }));
    }
    steps.push_back(Press(c.answer));
    steps = Join({steps, c.after, {ExpectExit(c.exit_code)}});
    Scenario s = {c.name, "", steps, "ReplaceNow.exe"};
    Play(s);
    holder.Release();
    EXPECT_EQ(FileExists(folder.File("readme.txt")), c.free_it) << c.name;
  }
}

// A folder that cannot be made because a file stands where a folder of its
// path should be: Try Again, once the file is gone, keeps the page, and
// Next then installs.
TEST(ErrorScenario, FolderThatCannotBeMadeThenFixed) {
  ScratchFolder scratch;
  const std::string blocker = scratch.File("blocker");
  const std::string folder = blocker + "\\components";
  ASSERT_TRUE(WriteWholeFile(blocker, "in the way"));
  Play({"a file in the folder's way: Try Again once it is gone",
        "",
        Join({kToDestination,
              {ExpectDialog(IDD_CHOOSE_FOLDER), SetText(IDC_FOLDER_EDIT, folder), Press(IDC_NEXT),
               ExpectDialog(IDD_ERROR_DETAIL), ExpectText(IDC_ERROR_HEADLINE, "Invalid Folder Name"),
               ExpectText(IDC_ERROR_DETAIL, "Path:   " + folder),
               ExpectText(IDC_ERROR_TRY_AGAIN, "&Try Again"),
               ExpectText(IDC_ERROR_FIRST_BUTTON, "E&xit Install"),
               Do("remove the file in the way",
                  [&blocker](HWND, std::string* why) {
                    *why = "could not delete " + blocker;
                    return DeleteFileA(blocker.c_str()) != FALSE;
                  }),
               Press(IDC_ERROR_TRY_AGAIN), ExpectDialog(IDD_CHOOSE_FOLDER),
               ExpectShown(IDC_FOLDER_EDIT), ExpectShown(IDC_BROWSE),
               ExpectShown(IDC_EXIT_INSTALL), ExpectHidden(IDC_STATUS_LINE),
               ExpectText(IDC_FOLDER_EDIT, folder), ExpectShown(IDC_NEXT), Press(IDC_NEXT),
               ExpectDialog(IDD_COMPLETE),
               Press(IDC_NEXT), ExpectExit(0)}})});
  EXPECT_TRUE(FileExists(folder + "\\readme.txt"));
}

// The same failure met by the file copy, below the destination (a file
// named like the pack's sub-folder), after a self-registering library was
// copied: Try Again, once the file is gone, copies every file again into
// its own place and registers the library once.
TEST(ErrorScenario, TryAgainAfterAFailedCopyInstallsEverything) {
  const std::string retry_pack = WindowsPath(KEST_SCENARIO_PACKS) + "\\retry.exe";
  for (const char* version : {"win95", "win10"}) {
    SCOPED_TRACE(version);
    ScratchFolder folder, scratch;
    const std::string blocker = folder.File("zsub");
    const std::string record = scratch.File("record.txt");
    ASSERT_TRUE(WriteWholeFile(blocker, "in the way"));
    SetEnvironmentVariableA("KEST_PROBE_RECORD", record.c_str());
    Play({"a file in a sub-folder's way: Try Again once it is gone",
          "/L",
          Join({kToDestination,
                {ExpectDialog(IDD_CHOOSE_FOLDER), SetText(IDC_FOLDER_EDIT, folder.path()),
                 Press(IDC_NEXT), ExpectDialog(IDD_ERROR_DETAIL),
                 ExpectTextHas(IDC_ERROR_DETAIL, "Path:   "),
                 ExpectText(IDC_ERROR_TRY_AGAIN, "&Try Again"),
                 Do("remove the file in the way",
                    [&blocker](HWND, std::string* why) {
                      *why = "could not delete " + blocker;
                      return DeleteFileA(blocker.c_str()) != FALSE;
                    }),
                 Press(IDC_ERROR_TRY_AGAIN), ExpectDialog(IDD_CHOOSE_FOLDER), Press(IDC_NEXT),
                 ExpectDialog(IDD_COMPLETE), Press(IDC_NEXT), ExpectExit(0)}}),
          retry_pack.c_str()},
         version);
    SetEnvironmentVariableA("KEST_PROBE_RECORD", nullptr);
    std::string text;
    EXPECT_TRUE(ReadWholeFile(folder.File("zsub\\b.txt"), &text));
    EXPECT_EQ(text, "the second file\r\n");
    EXPECT_EQ(FolderContents(folder.path()), (std::vector<std::string>{"a.dll", "install.log", "zsub"}));
    std::string events;
    ReadWholeFile(record, &events);
    size_t registrations = 0;
    for (size_t at = 0; (at = events.find("full register", at)) != std::string::npos; ++at) {
      ++registrations;
    }
    EXPECT_EQ(registrations, 1u) << events;
    ReadWholeFile(folder.File("install.log"), &text);
    const std::string library = Lower(folder.File("a.dll"));
    EXPECT_NE(text.find("Calling DllRegisterServer in \"" + library + "\""), std::string::npos)
        << text;
  }
}

// The same on the confirm page (/F and the folder on the command line): Try
// Again brings back Next and Exit Install and hides the status line that
// showed the folder; Next then installs.
TEST(ErrorScenario, TryAgainOnTheConfirmPage) {
  ScratchFolder scratch;
  const std::string blocker = scratch.File("blocker");
  const std::string folder = blocker + "\\components";
  ASSERT_TRUE(WriteWholeFile(blocker, "in the way"));
  const std::string arguments = "/F \"" + folder + "\"";
  Play({"confirm page: Try Again once the file is gone",
        arguments.c_str(),
        Join({kToDestination,
              {ExpectDialog(IDD_CONFIRM_FOLDER), ExpectText(IDC_STATUS_LINE, folder),
               Press(IDC_NEXT), ExpectDialog(IDD_ERROR_DETAIL),
               ExpectText(IDC_ERROR_HEADLINE, "Invalid Folder Name"),
               Do("remove the file in the way",
                  [&blocker](HWND, std::string* why) {
                    *why = "could not delete " + blocker;
                    return DeleteFileA(blocker.c_str()) != FALSE;
                  }),
               Press(IDC_ERROR_TRY_AGAIN), ExpectDialog(IDD_CONFIRM_FOLDER),
               ExpectShown(IDC_NEXT), ExpectShown(IDC_EXIT_INSTALL), ExpectHidden(IDC_STATUS_LINE),
               Press(IDC_NEXT), ExpectDialog(IDD_COMPLETE), Press(IDC_NEXT), ExpectExit(0)}})});
  EXPECT_TRUE(FileExists(folder + "\\readme.txt"));
}

// A folder where the system refuses to make one (Wine's Z: drive is the
// Linux root; nobody may make a folder in /sys): access denied has no row of
// its own, so the dialog names the system's error after the folder, and
// Exit Install ends the run with it.
TEST(ErrorScenario, SystemErrorWithoutARowOfItsOwn) {
  const std::string folder = "Z:\\sys\\Morvane Components";
  Play({"access denied: Exit Install",
        "",
        Join({kToDestination,
              {ExpectDialog(IDD_CHOOSE_FOLDER), SetText(IDC_FOLDER_EDIT, folder), Press(IDC_NEXT),
               ExpectDialog(IDD_ERROR_DETAIL),
               ExpectText(IDC_ERROR_HEADLINE, "Operating system error"),
               ExpectTextHas(IDC_ERROR_DETAIL, "Path:   " + folder),
               ExpectTextHas(IDC_ERROR_DETAIL, "Error:   "),
               ExpectTextHas(IDC_ERROR_MESSAGE, "please correct the error and press Try Again"),
               ExpectText(IDC_ERROR_TRY_AGAIN, "&Try Again"),
               ExpectText(IDC_ERROR_FIRST_BUTTON, "E&xit Install"),
               Press(IDC_ERROR_FIRST_BUTTON), ExpectExit(5)}})});
}

}  // namespace
}  // namespace kest
