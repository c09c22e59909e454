// The dependency pass with real prerequisite installs: record_prerequisite
// copied under the names a dependency manifest gives, real version
// resources in the destination folder, the install log, and the reports
// left pending.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/install_codes.h"
#include "base/install_options.h"
#include "base/install_status.h"
#include "install/prerequisite_win32.h"
#include "manifest/manifest_text.h"
#include "tests/install/registration/registration_fixture.h"

namespace kest {
namespace {

using Lines = std::vector<std::string>;

class NoEvents : public ManifestEvents {
  void KeyLineRejected(uint32_t, const char*, KeyLineFault) override {}
  bool RetryAllocation() override { return false; }
};

// Handles the thread's window messages as the wizard's page does.
class PumpingProgress : public Progress {
 public:
  void ShowProgressText(const char*) override { PumpMessages(); }
  void PumpMessages() override {
    ++pumps;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  int pumps = 0;
};

// The page of the test below: it answers the prerequisite's message.
LRESULT CALLBACK PageProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  return message == WM_APP + 7 ? 42 : DefWindowProcA(window, message, w, l);
}

std::string Replace(std::string text, const std::string& what, const std::string& with) {
  for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += with.size())
    text.replace(at, what.size(), with);
  return text;
}

class DependencyPassTest : public test::RegistrationTest {
 protected:
  DependencyPassTest() {
    recorded_ = folder_.File("prerequisite-record.txt");
    SetEnvironmentVariableA("KEST_PREREQ_RECORD", recorded_.c_str());
    SetEnvironmentVariableA("KEST_PREREQ_LOG", folder_.File("install.log").c_str());
    destination_ = folder_.File("Dest Folder") + "\\";
    EXPECT_TRUE(CreateDirectoryA(destination_.c_str(), nullptr));
    AddFile(test::WindowsPath(KEST_VERSION_NEW), "Dest Folder\\new.dll");  // 1.10.0.0
    AddFile(test::WindowsPath(KEST_VERSION_OLD), "Dest Folder\\old.dll");  // 1.9.65535.65535
    // A program where a command line split at its first blank would lead.
    AddFile(test::WindowsPath(KEST_RECORDER), "Pkg.exe");
    GetCurrentDirectoryA(MAX_PATH, previous_folder_);
    EXPECT_TRUE(SetCurrentDirectoryA(destination_.c_str()));
    GetCurrentDirectoryA(MAX_PATH, current_folder_);
  }
  ~DependencyPassTest() override {
    SetCurrentDirectoryA(previous_folder_);
    for (const char* name : {"KEST_PREREQ_RECORD", "KEST_PREREQ_LOG", "KEST_PREREQ_EXIT",
                             "KEST_PREREQ_WINDOW", "KEST_PREREQ_BROADCAST"}) {
      SetEnvironmentVariableA(name, nullptr);
    }
  }

  // The installer folder `name` below the scratch folder, ending in "\",
  // with the recording prerequisite under each of the names.
  std::string AddInstallerFolder(const std::string& name, const Lines& programs) {
    std::string installer = folder_.File(name) + "\\";
    EXPECT_TRUE(CreateDirectoryA(installer.c_str(), nullptr)) << installer;
    for (const std::string& program : programs)
      AddFile(test::WindowsPath(KEST_RECORDER), name + "\\" + program);
    return installer;
  }

  // The pass as the install sequence runs it: dependency after dependency
  // until the list is empty or a code is pending.
  uint32_t RunPass(const std::string& manifest, const std::string& installer, uint32_t options,
                   Progress& progress) {
    const std::string text = "[Dependencies]\n" + manifest;
    NoEvents events;
    DependencyManifest parsed;
    EXPECT_EQ(ParseDependencyManifestText(text.c_str(), static_cast<uint32_t>(text.size()), events,
                                          &parsed),
              ManifestRead::kRead);
    const DependencyPass pass = {destination_.c_str(), installer.c_str(), "", options, &progress};
    bool clear = true;
    while (parsed.dependencies != nullptr && clear) {
      clear = ProcessNextDependency(pass, parsed.dependencies);
    }
    EXPECT_EQ(parsed.dependencies, nullptr);
    return Status().install_code;
  }

  // The recorded lines that begin with `kind` ("command", "folder",
  // "program", "log", "sent"), without it.
  Lines Recorded(const std::string& kind) const {
    std::string text;
    Lines lines;
    if (!test::ReadWholeFile(recorded_, &text)) return lines;
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
      std::string line = text.substr(at, end - at);
      if (line.compare(0, kind.size() + 1, kind + " ") == 0) lines.push_back(line.substr(kind.size() + 1));
    }
    return lines;
  }

  std::string recorded_;
  std::string destination_;
  char previous_folder_[MAX_PATH] = {};
  char current_folder_[MAX_PATH] = {};
  PumpingProgress progress_;
};

struct PassCase {
  const char* what;
  const char* manifest;  // after the "[Dependencies]" line
  const char* folder;    // the installer folder, below the scratch folder
  Lines programs;        // recording prerequisites put there
  uint32_t options;
  const char* exit_code;  // the prerequisites' exit code
  uint32_t code;          // pending after the pass
  const char* detail;     // of the pending report
  Lines commands;         // the command lines received; {P} installer folder, {D} destination
  Lines files;            // the installer folder's files afterwards
};

const char kShipped[] =
    "Registry=Software\\Morvane\\Morvane Components\\1.0:LocalInstallPath\n"
    "Default=C:\\Morvane Components\\\n";
const char kOldFile[] = "File1=old.dll\nVersion1=1.10\n";
constexpr uint32_t kLog = kOptionLogBit;

TEST_F(DependencyPassTest, ManifestTable) {
  const PassCase cases[] = {
      {"shipped", kShipped, "pkg", {"SETUP.EXE"}, kLog, "0", 0, "", {}, {"SETUP.EXE"}},
      {"file without version", "File1=missing.dll\nSource=SETUP.EXE\n", "pkg", {"SETUP.EXE"},
       kLog, "0", 0, "", {}, {"SETUP.EXE"}},
      {"present", "File1=new.dll\nVersion1=1.10\nSource=SETUP.EXE\n", "pkg", {"SETUP.EXE"}, kLog,
       "0", 0, "", {}, {"SETUP.EXE"}},
      {"too old", "File1=old.dll\nVersion1=1.10\nSource=SETUP.EXE\n", "pkg", {"SETUP.EXE"},
       kLog | kOptionKeepFolder, "0", 0, "", {"{P}SETUP.EXE /u0 \"{D}\" /f /l"}, {"SETUP.EXE"}},
      {"missing", "File1=missing.dll\nVersion1=1.10\nSource=SETUP.EXE\n", "pkg", {"SETUP.EXE"},
       kLog, "0", 0, "", {"{P}SETUP.EXE /u0 \"{D}\" /l"}, {"SETUP.EXE"}},
      {"missing, version 0", "File1=missing.dll\nVersion1=0\nSource=SETUP.EXE\n", "pkg",
       {"SETUP.EXE"}, kLog, "0", 0, "", {}, {"SETUP.EXE"}},
      {"second file too old",
       "File1=new.dll\nVersion1=1.10\nFile2=old.dll\nVersion2=1.10\nSource=SETUP.EXE\n", "pkg",
       {"SETUP.EXE"}, kLog, "0", 0, "", {"{P}SETUP.EXE /u0 \"{D}\" /l"}, {"SETUP.EXE"}},
      {"two in a row",
       "File1=old.dll\nVersion1=1.10\nSource=SETUP.EXE\n"
       "[Second]\nFile1=missing.dll\nVersion1=1\nSource=OTHER.EXE:-q x\n",
       "pkg", {"SETUP.EXE", "OTHER.EXE"}, kLog, "0", 0, "",
       {"{P}SETUP.EXE /u0 \"{D}\" /l", "{P}OTHER.EXE -q x"}, {"OTHER.EXE", "SETUP.EXE"}},
      {"renamed", "File1=old.dll\nVersion1=1.10\nSource=SETUP:-s\n", "pkg", {"SETUP"}, kLog, "0",
       0, "", {"{P}SETUP.exe -s"}, {"SETUP.exe"}},
      {"not renamed below a '.'", "File1=old.dll\nVersion1=1.10\nSource=SETUP:-s\n", "v1.1",
       {"SETUP"}, kLog, "0", 0, "", {"{P}SETUP -s"}, {"SETUP"}},
      {"drive", "File1=old.dll\nVersion1=1.10\nSource=C:\\SETUP.EXE\n", "pkg", {"SETUP.EXE"},
       kLog, "0", kCodeRenameFailed, "File:   {P}C", {}, {"SETUP.EXE"}},
      {"missing, no '.'", "File1=old.dll\nVersion1=1.10\nSource=SETUP\n", "pkg", {}, kLog, "0",
       kCodeRenameFailed, "File:   {P}SETUP", {}, {}},
      {"missing", "File1=old.dll\nVersion1=1.10\nSource=SETUP.EXE\n", "pkg", {}, kLog, "0",
       kCodeRequiredFilesMissing, "File:   {P}SETUP.EXE", {}, {}},
      {"a folder", "File1=old.dll\nVersion1=1.10\nSource=SUB.DIR\n", "pkg", {"SUB.DIR\\x.exe"},
       kLog, "0", kCodeRequiredFilesMissing, "File:   {P}SUB.DIR", {}, {"SUB.DIR"}},
      {"no source", kOldFile, "pkg", {}, kLog, "0", kCodeInvalidInstallFiles,
       "Dependency:   [Dependencies]", {}, {}},
      {"fails", "File1=old.dll\nVersion1=1.10\nSource=SETUP.EXE\n", "pkg", {"SETUP.EXE"}, kLog,
       "1", kCodePrerequisiteFailed, "Command:   {P}SETUP.EXE", {"{P}SETUP.EXE /u0 \"{D}\" /l"},
       {"SETUP.EXE"}},
      {"fails, deleted", "File1=old.dll\nVersion1=1.10\nSource=SETUP.EXE\n", "pkg",
       {"SETUP.EXE"}, kLog | kOptionDeletePrereqs, "1", kCodePrerequisiteFailed,
       "Command:   {P}SETUP.EXE", {"{P}SETUP.EXE /u0 \"{D}\" /l"}, {}},
      {"asks for a restart", "File1=old.dll\nVersion1=1.10\nSource=SETUP:-r\n", "pkg", {"SETUP"},
       kLog | kOptionDeletePrereqs, "3010", kCodePrerequisiteFailed, "Command:   {P}SETUP.exe",
       {"{P}SETUP.exe -r"}, {}},
      {"succeeds, deleted", "File1=old.dll\nVersion1=1.10\nSource=SETUP.EXE\n", "pkg",
       {"SETUP.EXE"}, kLog | kOptionDeletePrereqs, "0", 0, "", {"{P}SETUP.EXE /u0 \"{D}\" /l"},
       {}},
      // The program's path between quotes, so that the child's parser
      // does not end its name at the blank.
      {"folder with blanks", "File1=old.dll\nVersion1=1.10\nSource=SETUP.EXE\n", "Pkg Files",
       {"SETUP.EXE"}, kLog, "0", 0, "", {"\"{P}SETUP.EXE\" /u0 \"{D}\" /l"}, {"SETUP.EXE"}},
      // This system is Windows NT 4.0 or later.
      {"platform", "File1=old.dll\nVersion1=1.10\nSource=SETUP.EXE\nPlatform=WIN_NT_40\n", "pkg",
       {"SETUP.EXE"}, kLog, "0", 0, "", {"{P}SETUP.EXE /u0 \"{D}\" /l"}, {"SETUP.EXE"}},
      {"other platform", "File1=old.dll\nVersion1=1.10\nSource=SETUP.EXE\nPlatform=WIN_95\n",
       "pkg", {"SETUP.EXE"}, kLog, "0", 0, "", {}, {"SETUP.EXE"}},
  };
  for (const PassCase& c : cases) {
    SCOPED_TRACE(c.what);
    ResetStatus();
    DeleteFileA(recorded_.c_str());
    std::string installer = AddInstallerFolder(c.folder, {});
    for (const std::string& program : c.programs) {
      if (program.find('\\') != std::string::npos) {  // a folder with a program in it
        CreateDirectoryA((installer + program.substr(0, program.find('\\'))).c_str(), nullptr);
      }
      AddFile(test::WindowsPath(KEST_RECORDER), std::string(c.folder) + "\\" + program);
    }
    SetEnvironmentVariableA("KEST_PREREQ_EXIT", c.exit_code);
    auto fill = [&](const std::string& text) {
      return Replace(Replace(text, "{P}", installer), "{D}", destination_);
    };

    EXPECT_EQ(RunPass(c.manifest, installer, c.options, progress_), c.code);

    EXPECT_EQ(Status().detail_text, fill(c.detail));
    // Every report of the pass offers only its first button.
    if (c.code != 0) EXPECT_EQ(Status().button_set, kButtonsExitOnly);
    Lines commands, programs, folders, written;
    for (const std::string& command : c.commands) {
      commands.push_back(fill(command));
      const std::string& line = commands.back();
      std::string program = line[0] == '"' ? line.substr(1, line.find('"', 1) - 1)
                                           : line.substr(0, line.find(' ', installer.size()));
      programs.push_back(program);
      folders.push_back(current_folder_);
      written.push_back("1");
    }
    EXPECT_EQ(Recorded("command"), commands);
    EXPECT_EQ(Recorded("program"), programs);
    EXPECT_EQ(Recorded("folder"), folders);
    EXPECT_EQ(Recorded("log"), written);  // the log was free while it ran
    Lines files;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((installer + "*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        if (found.cFileName[0] != '.') files.push_back(found.cFileName);
      } while (FindNextFileA(find, &found));
      FindClose(find);
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, c.files);
    test::RemoveTree(installer);
  }
}

// One run's log: where the prerequisite's own line falls, the deletion
// before the report, and no line at all for a dependency that is present.
TEST_F(DependencyPassTest, LogOfAFailedRun) {
  const std::string installer = AddInstallerFolder("pkg", {"SETUP.EXE"});
  SetEnvironmentVariableA("KEST_PREREQ_EXIT", "1");
  EXPECT_EQ(RunPass(std::string(kShipped) + "[Present]\nFile1=new.dll\nVersion1=1.10\n"
                                            "Source=SETUP.EXE\n[Old]\n" + kOldFile +
                        "Source=SETUP.EXE\n",
                    installer, kLog | kOptionDeletePrereqs, progress_),
            kCodePrerequisiteFailed);
  const std::string path = installer + "SETUP.EXE";
  const std::string command = path + " /u0 \"" + destination_ + "\" /l";
  EXPECT_EQ(LogLines(), (Lines{"Found valid dependency: \"" + path + "\"", " ",
                               "Executing prerequisite install: \"" + command + "\"",
                               "prerequisite wrote here",
                               "Returned from prerequisite install: \"" + command + "\"",
                               "Deleting prerequisite install: \"" + path + "\"",
                               "ERROR: \"Failure running prerequisite install\"",
                               "       \"Command:   " + path + "\""}));
}

// Names and command lines too long for their buffers are reported whole,
// and nothing is started under a cut name.
TEST_F(DependencyPassTest, OverlongNamesAreReportedNotCut) {
  const std::string installer = AddInstallerFolder("pkg", {"SETUP.EXE"});
  const std::string source = std::string(kPathChars - 20, 'S') + ".EXE";
  EXPECT_EQ(RunPass(std::string(kOldFile) + "Source=" + source + "\n", installer, kLog, progress_),
            kCodeRequiredFilesMissing);
  EXPECT_EQ(std::string(Status().detail_text), "File:   " + source);

  ResetStatus();
  const DependencyPass pass = {destination_.c_str(), installer.c_str(), "", kLog, &progress_};
  const std::string no_room_for_exe = installer + std::string(kPathChars - 4 - installer.size(), 'S');
  EXPECT_FALSE(RunPrerequisite(pass, no_room_for_exe.c_str(), ""));
  EXPECT_EQ(Status().install_code, kCodeRenameFailed);
  EXPECT_EQ(std::string(Status().detail_text), "File:   " + no_room_for_exe);

  ResetStatus();
  const std::string program = installer + "SETUP.EXE";
  EXPECT_FALSE(RunPrerequisite(pass, program.c_str(), std::string(900, 'a').c_str()));
  EXPECT_EQ(Status().install_code, kCodePrerequisiteFailed);
  EXPECT_EQ(std::string(Status().detail_text), "Command:   " + program);
  EXPECT_TRUE(Recorded("program").empty());
}

// While the prerequisite runs, a wizard run handles its window's messages:
// a message sent by the prerequisite is answered before it ends.
TEST_F(DependencyPassTest, WizardKeepsHandlingMessagesWhileWaiting) {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = PageProcedure;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "KestPrerequisiteTestPage";
  RegisterClassA(&window_class);
  HWND page = CreateWindowA("KestPrerequisiteTestPage", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            window_class.hInstance, nullptr);
  ASSERT_NE(page, nullptr);
  SetEnvironmentVariableA("KEST_PREREQ_WINDOW",
                          std::to_string(reinterpret_cast<uintptr_t>(page)).c_str());
  const std::string installer = AddInstallerFolder("pkg", {"SETUP.EXE"});
  EXPECT_EQ(RunPass(std::string(kOldFile) + "Source=SETUP.EXE\n", installer,
                    kUiLevelFull | kLog, progress_),
            0u);
  EXPECT_EQ(Recorded("sent"), Lines{"42"});
  EXPECT_GE(progress_.pumps, 3);  // before, while and after
  DestroyWindow(page);
}

// The wait cursor is shown once more when a prerequisite starts and once
// more when it has ended; the installation hides the extra one at its end.
int CursorCount() {
  ShowCursor(TRUE);
  return ShowCursor(FALSE);
}

TEST_F(DependencyPassTest, EachPrerequisiteShowsTheCursorTwice) {
  const std::string installer = AddInstallerFolder("pkg", {"SETUP.EXE"});
  const int before = CursorCount();
  EXPECT_EQ(RunPass(std::string(kOldFile) + "Source=SETUP.EXE\n", installer, 0, progress_), 0u);
  EXPECT_EQ(CursorCount(), before + 2);
  while (CursorCount() > before) ShowCursor(FALSE);
}

// A prerequisite that broadcasts a settings change with SendMessage (as
// installers do) waits until every top-level window has answered: the
// installer's windows must answer while it waits, in a silent run (its
// hidden main window) as in a wizard run, or both processes wait forever.
TEST_F(DependencyPassTest, BroadcastOfThePrerequisiteIsAnswered) {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "KestPrerequisiteTestMain";
  RegisterClassA(&window_class);
  HWND main_window = CreateWindowA("KestPrerequisiteTestMain", "", WS_OVERLAPPEDWINDOW, 0, 0, 10,
                                   10, nullptr, nullptr, window_class.hInstance, nullptr);
  ASSERT_NE(main_window, nullptr);
  SetEnvironmentVariableA("KEST_PREREQ_BROADCAST", "1");
  for (uint32_t ui_level : {kUiLevelSilent, kUiLevelFull}) {
    SCOPED_TRACE(ui_level);
    DeleteFileA(recorded_.c_str());
    const std::string installer = AddInstallerFolder("pkg" + std::to_string(ui_level), {"SETUP.EXE"});
    EXPECT_EQ(RunPass(std::string(kOldFile) + "Source=SETUP.EXE\n", installer, ui_level, progress_),
              0u);
    std::string text;
    EXPECT_TRUE(test::ReadWholeFile(recorded_, &text));
    EXPECT_NE(text.find("\nbroadcast\n"), std::string::npos) << text;
  }
  DestroyWindow(main_window);
}

TEST(DependencyPassOnOtherSystems, Windows95AndNt40) {
  test::ExpectTestsPassUnder({"win95", "nt40"}, "DependencyPassOnVersion.*");
}

// Run only by the test above, in a program that sees the system it asked for.
using DependencyPassOnVersion = DependencyPassTest;

TEST_F(DependencyPassOnVersion, PlatformDecides) {
  const char* version = test::RequestedWindowsVersion();
  if (version == nullptr) GTEST_SKIP() << "started by another test";
  const bool win95 = std::string(version) == "win95";
  const std::string installer = AddInstallerFolder("pkg", {"SETUP.EXE", "NT.EXE", "W95.EXE"});
  EXPECT_EQ(RunPass(std::string(kOldFile) + "Source=NT.EXE\nPlatform=WIN_NT_40\n[W95]\n" +
                        kOldFile + "Source=W95.EXE\nPlatform=WIN_95\n[Nt35]\n" + kOldFile +
                        "Source=SETUP.EXE\nPlatform=WIN_NT_35\n",
                    installer, kLog, progress_),
            0u);
  EXPECT_EQ(Recorded("program"), Lines{installer + (win95 ? "W95.EXE" : "NT.EXE")});
}

}  // namespace
}  // namespace kest
