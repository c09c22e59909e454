// The wizard of the signed sample installer, used as a person would use it:
// each scenario is a table of steps played on a new installer process by
// the dialog driver, ending with the process's full exit code.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/support/win32_test_support.h"
#include "tests/ui/dialog_driver.h"
#include "tests/ui/screen_capture.h"
#include "tests/ui/wizard_scenarios.h"
#include "ui/wizard_win32.h"

namespace kest {
namespace {

using test::Escape;
using test::ExpectChecked;
using test::ExpectClear;
using test::ExpectDialog;
using test::ExpectExit;
using test::ExpectHidden;
using test::ExpectShown;
using test::ExpectText;
using test::ExpectTextHas;
using test::Press;
using test::ExpectOnScreen;
using test::Screenshot;
using test::SetText;
using test::Step;
using test::Join;
using test::kConfirmExit;
using test::kDefaultFolder;
using test::kProduct;
using test::kToDestination;
using test::Play;
using test::Scenario;

// Every way out of the wizard before anything is installed asks first, and
// only Yes leaves; Escape asks too, except on the destination page.
TEST(WizardScenario, ExitsAndWayBack) {
  const Scenario scenarios[] = {
      {"agreement: No stays, Exit Install and Yes leaves",
       "",
       Join({{ExpectDialog(IDD_AGREEMENT), Press(IDC_AGREE_CHECK), Press(IDC_EXIT_INSTALL),
              ExpectDialog(IDD_EXIT_CONFIRM), Press(IDC_CANCEL_KEY), ExpectDialog(IDD_AGREEMENT),
              ExpectChecked(IDC_AGREE_CHECK), Escape()},
             kConfirmExit})},
      {"welcome: Previous gives a fresh agreement page",
       "",
       Join({{ExpectDialog(IDD_AGREEMENT), Press(IDC_AGREE_CHECK), Press(IDC_NEXT),
              ExpectDialog(IDD_WELCOME), ExpectText(IDC_COMPONENT_NAME, kProduct),
              Press(IDC_PREVIOUS), ExpectDialog(IDD_AGREEMENT), ExpectClear(IDC_AGREE_CHECK),
              Press(IDC_AGREE_CHECK), Press(IDC_NEXT), ExpectDialog(IDD_WELCOME), Escape(),
              ExpectDialog(IDD_EXIT_CONFIRM), Press(IDC_CANCEL_KEY), ExpectDialog(IDD_WELCOME),
              Press(IDC_EXIT_INSTALL)},
             kConfirmExit})},
      {"folder page: Escape does nothing, No stays, Yes leaves",
       "",
       Join({kToDestination,
             {ExpectDialog(IDD_CHOOSE_FOLDER), Escape(), ExpectDialog(IDD_CHOOSE_FOLDER),
              ExpectText(IDC_FOLDER_EDIT, kDefaultFolder), ExpectShown(IDC_BROWSE),
              ExpectHidden(IDC_STATUS_LINE), Press(IDC_EXIT_INSTALL),
              ExpectDialog(IDD_EXIT_CONFIRM), Press(IDC_CANCEL_KEY),
              ExpectDialog(IDD_CHOOSE_FOLDER), ExpectShown(IDC_NEXT), Press(IDC_EXIT_INSTALL)},
             kConfirmExit})},
      {"/F: the confirm page shows the folder known",
       "/F",
       Join({kToDestination,
             {ExpectDialog(IDD_CONFIRM_FOLDER), ExpectText(IDC_STATUS_LINE, kDefaultFolder),
              ExpectShown(IDC_NEXT), Screenshot("confirm"), Escape(), ExpectDialog(IDD_CONFIRM_FOLDER),
              Press(IDC_EXIT_INSTALL)},
             kConfirmExit})},
      {"a folder on the command line: the confirm page shows it",
       "\"c:\\Given Folder & Co\"",
       Join({kToDestination,
             {ExpectDialog(IDD_CONFIRM_FOLDER),
              ExpectText(IDC_STATUS_LINE, "c:\\Given Folder & Co"), Press(IDC_EXIT_INSTALL)},
             kConfirmExit})},
  };
  for (const Scenario& s : scenarios) Play(s);
  EXPECT_FALSE(test::FileExists("c:\\Given Folder & Co"));
}

// A known folder over 210 characters is refused when Next is pressed, before
// anything is made; giving up ends the run with the folder's code.
TEST(WizardScenario, TooLongAFolderIsRefused) {
  const std::string folder = "c:\\" + std::string(208, 'x');  // 211 characters
  const std::string arguments = "/F \"" + folder + "\"";
  Play({"211 characters on the confirm page",
        arguments.c_str(),
        Join({kToDestination,
              {ExpectDialog(IDD_CONFIRM_FOLDER), ExpectText(IDC_STATUS_LINE, folder),
               Press(IDC_NEXT), ExpectDialog(IDD_ERROR_DETAIL),
               ExpectText(IDC_ERROR_HEADLINE, "Invalid Folder Name"),
               Press(IDC_ERROR_FIRST_BUTTON), ExpectExit(0x8040F003)}})});
  EXPECT_FALSE(test::FileExists(folder));
}

// The whole way through, as a first-time user goes it: the box forgotten,
// the reminder, the pages, and the default folder. Every dialog is
// photographed for the README.
TEST(WizardScenario, MainScenarioOnEveryFamily) {
  const Scenario main_scenario = {
      "main",
      "",
      {ExpectDialog(IDD_AGREEMENT), ExpectOnScreen(), ExpectClear(IDC_AGREE_CHECK),
       ExpectTextHas(IDC_AGREEMENT_TEXT, "MORVANE COMPONENTS SOFTWARE LICENCE"),
       ExpectTextHas(IDC_AGREEMENT_TEXT, "Copyright (C) Morvane. All rights reserved."),
       Screenshot("agreement"), test::ScreenshotAll("screen"), Press(IDC_NEXT),
       ExpectDialog(IDD_AGREEMENT_REMINDER), Screenshot("reminder"), Press(IDC_NEXT),
       ExpectDialog(IDD_AGREEMENT), ExpectClear(IDC_AGREE_CHECK), Press(IDC_AGREE_CHECK),
       ExpectChecked(IDC_AGREE_CHECK), Press(IDC_NEXT),
       ExpectDialog(IDD_WELCOME), ExpectOnScreen(), ExpectText(IDC_COMPONENT_NAME, kProduct),
       Screenshot("welcome"),
       Press(IDC_EXIT_INSTALL), ExpectDialog(IDD_EXIT_CONFIRM), Screenshot("exit-confirm"),
       Press(IDC_CANCEL_KEY), ExpectDialog(IDD_WELCOME), Press(IDC_NEXT),
       ExpectDialog(IDD_CHOOSE_FOLDER), ExpectOnScreen(), ExpectText(IDC_FOLDER_EDIT, kDefaultFolder),
       Screenshot("folder"), Press(IDC_NEXT),
       ExpectDialog(IDD_COMPLETE), Screenshot("complete"), Press(IDC_NEXT), ExpectExit(0)}};
  for (const char* version : {"win95", "nt351", "nt40", "win10"}) {
    Scenario s = main_scenario;
    // Windows NT 3.51 opens with its notice; OK goes on.
    if (strcmp(version, "nt351") == 0) {
      s.steps.insert(s.steps.begin(), {ExpectDialog(IDD_ERROR), Press(IDC_ERROR_FIRST_BUTTON)});
    }
    Play(s, version);
    EXPECT_TRUE(test::FileExists("c:\\Morvane Components\\readme.txt")) << version;
    test::RemoveTree("c:\\Morvane Components");
  }
}

// The box shown while the package is checked is up too briefly to catch in
// a run: it is opened here, in this process, from the installer's own
// template (this program carries the installer's resources).
TEST(WizardScenario, PleaseWaitBox) {
  HWND box = OpenPleaseWaitBox(nullptr);
  ASSERT_NE(box, nullptr);
  char caption[64] = {};
  GetWindowTextA(box, caption, sizeof(caption));
  EXPECT_STREQ(caption, "Morvane Component Install");
  EXPECT_TRUE(IsWindowVisible(box));
  std::string why;
  EXPECT_TRUE(test::PhotographWindow(box, "please-wait", &why)) << why;
  ClosePleaseWaitBox(box);
  EXPECT_FALSE(IsWindow(box));
}

// A folder typed on the folder page, where a file to be replaced is in use:
// everything else is installed there, that file waits for the restart, and
// the completion dialog asks for one; unless a component also failed to
// register, whose dialog then comes instead.
TEST(WizardScenario, TypedFolderWithAFileInUse) {
  const struct {
    const char* name;
    const char* program;
    std::vector<Step> after_next;
  } cases[] = {
      {"a file in use", "MorvaneSetup.exe",
       {ExpectDialog(IDD_COMPLETE_RESTART), Screenshot("complete-restart"), Press(IDC_NEXT)}},
      {"a file in use and a component that does not register", "NotRegistering.exe",
       {ExpectDialog(IDD_ERROR_DETAIL),
        ExpectText(IDC_ERROR_HEADLINE, "The named file could not register itself."),
        Press(IDC_ERROR_FIRST_BUTTON), ExpectDialog(IDD_REGISTRATION_INCOMPLETE),
        Press(IDC_NEXT)}},
  };
  for (const auto& c : cases) {
    test::ScratchFolder folder;
    const std::string in_use = folder.File("readme.txt");
    ASSERT_TRUE(test::WriteWholeFile(in_use, "an older readme"));
    ASSERT_TRUE(test::SetWriteTime(in_use, 0x01A0000000000000ull));  // 1995: older than the pack's
    test::FileHolder holder(in_use);
    ASSERT_TRUE(holder.holding());
    Play({c.name, "",
          Join({kToDestination,
                {ExpectDialog(IDD_CHOOSE_FOLDER), SetText(IDC_FOLDER_EDIT, folder.path()),
                 Press(IDC_NEXT)},
                c.after_next,
                {ExpectExit(0)}}),
          c.program});
    holder.Release();
    EXPECT_TRUE(test::FileExists(folder.File("morvgrid.dll"))) << c.name;
    std::string text;
    EXPECT_TRUE(test::ReadWholeFile(in_use, &text));
    EXPECT_EQ(text, "an older readme") << c.name;
  }
}

// Packages that differ from the sample in one way.
TEST(WizardScenario, PackageVariants) {
  test::ScratchFolder folder;
  const Scenario scenarios[] = {
      {"no product named: the welcome page keeps its template text",
       "",
       Join({{ExpectDialog(IDD_AGREEMENT), Press(IDC_AGREE_CHECK), Press(IDC_NEXT),
              ExpectDialog(IDD_WELCOME), ExpectText(IDC_COMPONENT_NAME, "Component Name"),
              Press(IDC_EXIT_INSTALL)},
             kConfirmExit}),
       "NoProduct.exe"},
      {"a blank product: the welcome page shows it as it is",
       "",
       Join({{ExpectDialog(IDD_AGREEMENT), Press(IDC_AGREE_CHECK), Press(IDC_NEXT),
              ExpectDialog(IDD_WELCOME), ExpectText(IDC_COMPONENT_NAME, ""),
              Press(IDC_EXIT_INSTALL)},
             kConfirmExit}),
       "BlankProduct.exe"},
      {"a component fails to register: Installation Not Complete",
       "",
       Join({kToDestination,
             {ExpectDialog(IDD_CHOOSE_FOLDER), SetText(IDC_FOLDER_EDIT, folder.path()),
              Press(IDC_NEXT), ExpectDialog(IDD_ERROR_DETAIL),
              ExpectText(IDC_ERROR_HEADLINE, "The named file could not register itself."),
              ExpectTextHas(IDC_ERROR_DETAIL, "probe_failing.dll"),
              ExpectText(IDC_ERROR_FIRST_BUTTON, "Ignore"), ExpectHidden(IDC_ERROR_TRY_AGAIN),
              ExpectHidden(IDC_ERROR_CHANGE_DRIVE), Press(IDC_ERROR_FIRST_BUTTON),
              ExpectDialog(IDD_REGISTRATION_INCOMPLETE),
              Screenshot("not-complete"), Press(IDC_NEXT), ExpectExit(0)}}),
       "NotRegistering.exe"},
  };
  for (const Scenario& s : scenarios) Play(s);
  EXPECT_TRUE(test::FileExists(folder.File("probe_failing.dll")));
  EXPECT_TRUE(test::FileExists(folder.File("readme.txt")));
}

// The folder page behind a report that PerformInstall makes: Next, Exit
// Install and Browse hidden, the folder edit disabled, and the status line
// showing `status`.
Step ExpectPageWhileInstalling(const std::string& status) {
  return test::Do("see the page behind the report", [status](HWND report, std::string* why) {
    const HWND page = GetWindow(report, GW_OWNER);
    if (page == nullptr) {
      *why = "the report has no owner";
      return false;
    }
    std::string seen;
    for (int id : {IDC_NEXT, IDC_EXIT_INSTALL, IDC_BROWSE}) {
      if (IsWindowVisible(GetDlgItem(page, id))) seen += " control " + std::to_string(id) + " shown;";
    }
    if (IsWindowEnabled(GetDlgItem(page, IDC_FOLDER_EDIT))) seen += " the folder edit enabled;";
    const HWND line = GetDlgItem(page, IDC_STATUS_LINE);
    char text[300] = {};
    GetWindowTextA(line, text, sizeof(text));
    if (!IsWindowVisible(line) || status != text) {
      seen += " status line " + std::string(IsWindowVisible(line) ? "shown" : "hidden") + " \"" +
              text + "\"";
    }
    *why = seen;
    return seen.empty();
  });
}

// The page while PerformInstall runs, at each of its status texts:
// looking for the prerequisites (a report of the dependency pass: the
// prerequisite is missing beside the installer; exit-only, its code ends
// the run), then initializing the folders (the reports of obsolete lines
// that could reach outside the destination, before any file is copied;
// Continue goes on).
TEST(WizardScenario, PageBehindTheReportsWhileInstalling) {
  test::ScratchFolder folder, media;
  const std::string parent = media.File("parent.exe");  // without its child.exe
  ASSERT_TRUE(CopyFileA((test::WindowsPath(KEST_SCENARIO_PACKS) + "\\parent.exe").c_str(),
                        parent.c_str(), FALSE));
  const std::string obsolete = test::WindowsPath(KEST_SCENARIO_PACKS) + "\\obsolete.exe";
  const std::vector<Step> kChooseFolder = {ExpectDialog(IDD_CHOOSE_FOLDER),
                                           SetText(IDC_FOLDER_EDIT, folder.path()),
                                           Press(IDC_NEXT)};
  std::vector<Step> obsolete_line_reported;
  for (const char* line : {"..\\victim.txt", "old/kept.txt"}) {
    obsolete_line_reported = Join(
        {obsolete_line_reported,
         {ExpectDialog(IDD_ERROR_DETAIL), ExpectText(IDC_ERROR_HEADLINE, "Could not delete file"),
          ExpectText(IDC_ERROR_DETAIL, std::string("File:   ") + line),
          ExpectPageWhileInstalling("Initializing folders..."),
          ExpectText(IDC_ERROR_FIRST_BUTTON, "Continue"), ExpectHidden(IDC_ERROR_TRY_AGAIN),
          Press(IDC_ERROR_FIRST_BUTTON)}});
  }
  const Scenario scenarios[] = {
      {"the prerequisite is missing",
       "",
       Join({kToDestination, kChooseFolder,
             {ExpectDialog(IDD_ERROR_DETAIL),
              ExpectText(IDC_ERROR_HEADLINE, "Files required for installation not found"),
              ExpectText(IDC_ERROR_DETAIL, "File:   " + media.File("child.exe")),
              ExpectPageWhileInstalling(
                  "Please wait... Looking for additional files to be installed."),
              ExpectText(IDC_ERROR_FIRST_BUTTON, "E&xit Install"),
              ExpectHidden(IDC_ERROR_TRY_AGAIN), Press(IDC_ERROR_FIRST_BUTTON),
              ExpectExit(0x8040F00E)}}),
       parent.c_str()},
      {"obsolete lines outside the destination",
       "",
       Join({kToDestination, kChooseFolder, obsolete_line_reported,
             {ExpectDialog(IDD_COMPLETE), Press(IDC_NEXT), ExpectExit(0)}}),
       obsolete.c_str()},
  };
  for (const Scenario& s : scenarios) Play(s);
  EXPECT_FALSE(test::FileExists(folder.File("parent.txt")));
  EXPECT_TRUE(test::FileExists(folder.File("readme.txt")));
}

// The folder page while the installation runs in it, as a component sees
// it from its registration: Next, Exit Install and Browse hidden, the
// folder edit disabled, and the status line naming the file being
// configured.
TEST(WizardScenario, PageWhileInstalling) {
  test::ScratchFolder folder;
  test::ScratchFolder records;
  const std::string record = records.File("probe.txt");
  ASSERT_TRUE(SetEnvironmentVariableA("KEST_PROBE_RECORD", record.c_str()));
  Play({"the page while installing",
        "",
        Join({kToDestination,
              {ExpectDialog(IDD_CHOOSE_FOLDER), SetText(IDC_FOLDER_EDIT, folder.path()),
               Press(IDC_NEXT), ExpectDialog(IDD_COMPLETE), Press(IDC_NEXT), ExpectExit(0)}}),
        "WatchesPage.exe"});
  SetEnvironmentVariableA("KEST_PROBE_RECORD", nullptr);
  std::string text;
  ASSERT_TRUE(test::ReadWholeFile(record, &text)) << "the component did not register";
  const size_t at = text.find("windows page ");
  ASSERT_NE(at, std::string::npos) << text;
  const std::string page = text.substr(at, text.find('\n', at) - at);
  EXPECT_EQ(test::Lower(page),
            test::Lower("windows page next:hidden exit:hidden browse:hidden edit:disabled "
                        "status:shown:Configuring " + folder.File("probe_windows.dll")));
}

// An earlier installation's folder, found in the registry where the sample's
// dependency manifest says, is shown on the confirm page and installed into.
TEST(WizardScenario, ConfirmPageForTheEarlierFolder) {
  test::ScratchFolder folder;
  const char kKey[] = "Software\\Morvane\\Morvane Components\\1.0";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "LocalInstallPath", 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(folder.path().c_str()),
                 DWORD(folder.path().size() + 1));
  RegCloseKey(key);
  Play({"earlier folder in the registry",
        "",
        Join({kToDestination,
              {ExpectDialog(IDD_CONFIRM_FOLDER), ExpectText(IDC_STATUS_LINE, folder.path()),
               Press(IDC_NEXT), ExpectDialog(IDD_COMPLETE), Press(IDC_NEXT), ExpectExit(0)}})});
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
  EXPECT_TRUE(test::FileExists(folder.File("readme.txt")));
}

}  // namespace
}  // namespace kest
