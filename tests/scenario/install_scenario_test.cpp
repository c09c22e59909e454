// End-to-end: silent runs of installers that kestpack built (make_packs.sh
// says what each pack holds), as an administrator deploying the pack would
// make them. Each scenario installs into a folder of its own and checks the
// files and their bytes and times, the registry, install.log, the
// components' record of their entry points and the full 32-bit exit code.
//
// The whole table runs under one Windows version; the main scenario runs
// under every version the installer supports. The family-specific paths
// (restart replacement, rights, the NT 3.x notice) have rows of their own.
#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/win32_test_support.h"

namespace kest {
namespace {

const std::string kPacks = test::WindowsPath(KEST_SCENARIO_PACKS);
constexpr char kEarlierKey[] = "Software\\KestScenario\\Pack";
constexpr char kHostKey[] = "SOFTWARE\\MORVANE\\Scriba\\4.6";
constexpr char kDefaultFolder[] = "c:\\Kest Scenario";
constexpr DWORD kDamagedPackage = 0x8040F001;
constexpr DWORD kInvalidFolder = 0x8040F003;
// A header whose check sum fails: the reader's own code, reported as it is.
constexpr DWORD kReaderBadCrc = 0x400B;
constexpr DWORD kSelfRegisterFailed = 0x8040F005;
constexpr DWORD kFolderAccessDenied = 0x8040F013;
// 2026-06-01T12:00:00Z, release2's file date, in 100-ns units since 1601.
constexpr uint64_t kRelease2Time = 134247888000000000ULL;

const std::string kRelease1Readme = "Kest Scenario, release 1\r\n";

std::string PackPath(const std::string& pack) { return kPacks + "\\" + pack + ".exe"; }

std::string FileText(const std::string& path) {
  std::string text;
  if (!test::ReadWholeFile(path, &text)) return "<missing>";
  return text;
}

uint64_t WriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
}

std::string SystemFolderFile(const std::string& name) {
  char folder[MAX_PATH];
  UINT n = GetSystemDirectoryA(folder, MAX_PATH);
  return std::string(folder, n) + "\\" + name;
}

void SetMachineText(const char* key_path, const char* value, const std::string& text) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_path, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
}

void DeleteMachineKey(const char* key_path) { RegDeleteKeyA(HKEY_LOCAL_MACHINE, key_path); }

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// One scenario's surroundings: its folders, the components' record and the
// runs it makes. Everything it made goes with it, registry keys included.
class ScenarioRun {
 public:
  explicit ScenarioRun(const char* version) : version_(version) {
    record_ = scratch_.File("probe-record.txt");
    SetEnvironmentVariableA("KEST_PROBE_RECORD", record_.c_str());
    target = scratch_.File("target");
  }
  ~ScenarioRun() {
    SetEnvironmentVariableA("KEST_PROBE_RECORD", nullptr);
    DeleteMachineKey(kEarlierKey);
    DeleteMachineKey(kHostKey);
    DeleteFileA(SystemFolderFile("kestscen.dll").c_str());
    test::RemoveTree(kDefaultFolder);
  }
  ScenarioRun(const ScenarioRun&) = delete;
  ScenarioRun& operator=(const ScenarioRun&) = delete;

  // Runs pack (a path) with arguments under the run's Windows version;
  // "%T" in arguments stands for the target folder. The full exit code.
  DWORD Install(const std::string& installer, std::string arguments) {
    for (size_t at; (at = arguments.find("%T")) != std::string::npos;) {
      arguments.replace(at, 2, target);
    }
    const std::string exe_name = installer.substr(installer.find_last_of('\\') + 1);
    test::ScopedWindowsVersion scoped(exe_name, version_);
    test::ProcessResult result = test::RunProcess("\"" + installer + "\" " + arguments);
    EXPECT_TRUE(result.finished) << installer << " " << arguments;
    return result.exit_code;
  }
  std::string In(const std::string& name) const { return target + "\\" + name; }
  std::string Scratch(const std::string& name) const { return scratch_.File(name); }
  std::string Record() const { return FileText(record_); }
  std::string Log() const { return FileText(In("install.log")); }

  std::string target;

 private:
  const char* version_;
  test::ScratchFolder scratch_;
  std::string record_;
};

// What every complete install of release2 into folder leaves.
void ExpectRelease2In(const ScenarioRun& run, const std::string& folder) {
  SCOPED_TRACE(folder);
  EXPECT_EQ(FileText(folder + "\\readme.txt"), "Kest Scenario, release 2\r\n");
  EXPECT_EQ(FileText(folder + "\\docs\\guide.txt"), "The guide, release 2\r\n");
  EXPECT_EQ(FileText(folder + "\\shared.dll"), FileText(test::WindowsPath(KEST_VERSION_NEW)));
  EXPECT_EQ(WriteTime(folder + "\\readme.txt"), kRelease2Time);
  EXPECT_TRUE(test::FileExists(folder + "\\probe.dll"));
  EXPECT_TRUE(Contains(run.Record(), "full register"));
}

// folder, a backslash and as many letters as make a path of length characters.
std::string PathOfLength(const std::string& folder, size_t length) {
  return folder + "\\" + std::string(length - folder.size() - 1, 'd');
}

// After a run that met readme.txt in use: the old text still in place, the
// new one beside it under a temporary name, the queuing in the log; after
// the restart the new text in place and nothing beside it.
void ExpectReplacedAtRestart(ScenarioRun& run) {
  EXPECT_EQ(FileText(run.In("readme.txt")), kRelease1Readme);
  const std::string log = run.Log();
  const std::string queued = "Queuing \"" + test::Lower(run.In("readme.txt")) + "\" for lazy copy as";
  EXPECT_TRUE(Contains(log, queued)) << log;
  const size_t names_before = test::FolderContents(run.target).size();
  test::ProcessResult restart = test::RunProcess("wineboot.exe -r");
  EXPECT_TRUE(restart.finished);
  EXPECT_EQ(FileText(run.In("readme.txt")), "Kest Scenario, release 2\r\n");
  EXPECT_EQ(test::FolderContents(run.target).size() + 1, names_before);  // the temporary name
}

struct Scenario {
  const char* name;
  const char* version;                 // Windows version the installer sees
  const char* earlier_pack;            // installed first into the target, or null
  const char* installer;               // a pack's name, or %S\\NAME: a file prepare made
  const char* arguments;               // %T: the target folder
  DWORD exit_code;
  std::function<void(ScenarioRun&)> prepare;   // before the runs, or empty
  std::function<void(ScenarioRun&)> check;
  const char* held = nullptr;          // a target file another program holds open during the run
};

// The main scenario, which also runs under every Windows version.
Scenario FreshInstall() {
  return {"fresh install into the pack's default folder", "win10", nullptr, "release2", "/U0 /L", 0,
          nullptr,
    [](ScenarioRun& run) {
      ExpectRelease2In(run, kDefaultFolder);
      const std::string log = FileText(std::string(kDefaultFolder) + "\\install.log");
      EXPECT_TRUE(Contains(log, "Logging Started (\"")) << log;
      EXPECT_TRUE(Contains(log, "Copying \"c:\\kest scenario\\readme.txt\" to install target"))
          << log;
      EXPECT_TRUE(Contains(log, "Calling DllRegisterServer in ")) << log;
      EXPECT_TRUE(Contains(log, "Logging Stopped (\"")) << log;
      // The host product is missing: its files go below the destination.
      EXPECT_EQ(FileText(std::string(kDefaultFolder) + "\\include\\addin.txt"),
                "for the host product\r\n");
      // A new system-folder file is written there.
      EXPECT_EQ(FileText(SystemFolderFile("kestscen.dll")),
                FileText(test::WindowsPath(KEST_VERSION_NEW)));
      EXPECT_FALSE(test::FileExists(run.target));
    }};
}

std::vector<Scenario> Scenarios() {
  const auto nothing_written = [](ScenarioRun& run) {
    EXPECT_FALSE(test::FileExists(run.target));
    EXPECT_TRUE(run.Record().empty() || run.Record() == "<missing>");
  };
  return {
      FreshInstall(),
      {"command-line folder with blanks", "win10", nullptr, "release2",
       "/U0 \"%T\\with blanks\\pack folder\"", 0, nullptr,
       [](ScenarioRun& run) {
         ExpectRelease2In(run, run.In("with blanks\\pack folder"));
         EXPECT_FALSE(test::FileExists(run.In("with blanks\\pack folder\\install.log")));
       }},
      {"/F keeps the command-line folder over an earlier install", "win10", nullptr, "release2",
       "/U0 /F \"%T\"", 0,
       [](ScenarioRun& run) { SetMachineText(kEarlierKey, "LocalInstallPath", run.Scratch("earlier")); },
       [](ScenarioRun& run) {
         ExpectRelease2In(run, run.target);
         EXPECT_FALSE(test::FileExists(run.Scratch("earlier")));
       }},
      {"without /F an earlier install's folder wins", "win10", nullptr, "release2",
       "/U0 \"%T\"", 0,
       [](ScenarioRun& run) { SetMachineText(kEarlierKey, "LocalInstallPath", run.Scratch("earlier")); },
       [](ScenarioRun& run) {
         ExpectRelease2In(run, run.Scratch("earlier"));
         EXPECT_FALSE(test::FileExists(run.target));
       }},
      // Equal versions and times replace a file, except in the system
      // folder, where only a newer one does; the log says which and why.
      {"second run over the same target", "win10", "release2", "release2", "/U0 /L \"%T\"", 0,
       nullptr,
       [](ScenarioRun& run) {
         ExpectRelease2In(run, run.target);
         const std::string log = run.Log();
         EXPECT_TRUE(Contains(log, "Version compare for \"" +
                                       test::Lower(SystemFolderFile("kestscen.dll")) +
                                       "\" indicates archive is older than disk version"))
             << log;
         EXPECT_TRUE(Contains(log, "Date/time compare for \"" + test::Lower(run.In("readme.txt")) +
                                       "\" indicates archive is not older than disk version"))
             << log;
       }},
      {"upgrade over release 1 removes its obsolete file", "win10", "release1", "release2",
       "/U0 \"%T\"", 0, nullptr,
       [](ScenarioRun& run) {
         ExpectRelease2In(run, run.target);
         EXPECT_FALSE(test::FileExists(run.In("old\\gone.txt")));
         EXPECT_TRUE(test::FileExists(run.In("old")));  // folders stay
       }},
      {"downgrade keeps the newer files on disk", "win10", "release2", "release1", "/U0 \"%T\"", 0,
       nullptr,
       [](ScenarioRun& run) {
         ExpectRelease2In(run, run.target);
         EXPECT_EQ(FileText(run.In("old\\gone.txt")), "left behind by release 1\r\n");
       }},
      {"an equal version in the system folder is kept", "win10", nullptr, "release2", "/U0 \"%T\"",
       0,
       [](ScenarioRun&) {
         ASSERT_TRUE(CopyFileA(test::WindowsPath(KEST_VERSION_SECOND).c_str(),
                               SystemFolderFile("kestscen.dll").c_str(), FALSE));
       },
       [](ScenarioRun& run) {
         ExpectRelease2In(run, run.target);
         EXPECT_EQ(FileText(SystemFolderFile("kestscen.dll")),
                   FileText(test::WindowsPath(KEST_VERSION_SECOND)));
       }},
      {"the host product's folder takes its files", "win10", nullptr, "release2", "/U0 \"%T\"", 0,
       [](ScenarioRun& run) {
         CreateDirectoryA(run.Scratch("host").c_str(), nullptr);
         SetMachineText(kHostKey, "Path", run.Scratch("host"));
       },
       [](ScenarioRun& run) {
         ExpectRelease2In(run, run.target);
         EXPECT_EQ(FileText(run.Scratch("host\\addin.txt")), "for the host product\r\n");
         EXPECT_FALSE(test::FileExists(run.In("include")));
       }},
      // Both come before the log is started: the log holds the installation
      // and no report.
      {"NT 3.51: the notice and the missing host product only warn", "nt351", nullptr, "release2",
       "/U0 /L \"%T\"", 0, nullptr,
       [](ScenarioRun& run) {
         ExpectRelease2In(run, run.target);
         const std::string log = run.Log();
         EXPECT_TRUE(Contains(log, "Logging Started (")) << log;
         EXPECT_TRUE(Contains(log, "readme.txt\" to install target")) << log;
         EXPECT_FALSE(Contains(log, "ERROR: ")) << log;
       }},
      {"a prerequisite installer of the same kind installs first", "win10", nullptr,
       "%S\\media\\parent.exe",
       "/U0 /F /L \"%T\"", 0,
       [](ScenarioRun& run) {
         CreateDirectoryA(run.Scratch("media").c_str(), nullptr);
         ASSERT_TRUE(CopyFileA(PackPath("parent").c_str(), run.Scratch("media\\parent.exe").c_str(),
                               FALSE));
         ASSERT_TRUE(CopyFileA(PackPath("child").c_str(), run.Scratch("media\\child.exe").c_str(),
                               FALSE));
       },
       [](ScenarioRun& run) {
         EXPECT_EQ(FileText(run.In("child.txt")), "installed by the prerequisite\r\n");
         EXPECT_EQ(FileText(run.In("parent.txt")), "installed by the parent\r\n");
         const std::string log = run.Log();
         const std::string command =
             run.Scratch("media\\child.exe") + " /u0 \"" + run.target + "\" /f /l";
         EXPECT_TRUE(Contains(log, "Executing prerequisite install: \"" + command + "\"")) << log;
         EXPECT_TRUE(Contains(log, "child.exe\").")) << log;  // the child's own log lines
         EXPECT_TRUE(Contains(log, "Returned from prerequisite install: \"" + command + "\""))
             << log;
         EXPECT_TRUE(Contains(log, "parent.txt\" to install target")) << log;
       }},
      // A child that skips its own name up to the first blank outside
      // quotes would take the rest of an unquoted path for its folder.
      {"a prerequisite in a folder with a blank gets its path quoted", "win10", nullptr,
       "%S\\media files\\parent.exe",
       "/U0 /F /L \"%T\"", 0,
       [](ScenarioRun& run) {
         CreateDirectoryA(run.Scratch("media files").c_str(), nullptr);
         ASSERT_TRUE(CopyFileA(PackPath("parent").c_str(),
                               run.Scratch("media files\\parent.exe").c_str(), FALSE));
         ASSERT_TRUE(CopyFileA(PackPath("child").c_str(),
                               run.Scratch("media files\\child.exe").c_str(), FALSE));
       },
       [](ScenarioRun& run) {
         EXPECT_EQ(FileText(run.In("child.txt")), "installed by the prerequisite\r\n");
         EXPECT_EQ(FileText(run.In("parent.txt")), "installed by the parent\r\n");
         EXPECT_FALSE(test::FileExists(run.Scratch("media files\\child.exe\\child.txt")));
         const std::string command =
             "\"" + run.Scratch("media files\\child.exe") + "\" /u0 \"" + run.target + "\" /f /l";
         EXPECT_TRUE(Contains(run.Log(), "Executing prerequisite install: \"" + command + "\""))
             << run.Log();
       }},
      // The entry after the manifests cannot be read: that report ends the
      // run before the prerequisite is started or anything is installed.
      {"a package that cannot be read past its manifests", "win10", nullptr,
       "%S\\media\\parent.exe",
       "/U0 /F /L \"%T\"", kReaderBadCrc,
       [](ScenarioRun& run) {
         CreateDirectoryA(run.Scratch("media").c_str(), nullptr);
         ASSERT_TRUE(CopyFileA(PackPath("parent-cut").c_str(),
                               run.Scratch("media\\parent.exe").c_str(), FALSE));
         ASSERT_TRUE(CopyFileA(PackPath("child").c_str(), run.Scratch("media\\child.exe").c_str(),
                               FALSE));
       },
       nothing_written},
      // The held file is written beside itself and replaced at the restart,
      // through WININIT.INI on the Windows 95 family and a delayed move on
      // Windows NT; the restart (wineboot) carries it out.
      // Nothing clears the start-up warnings of a pack without dependency
      // records; having warned, they let the installation go on.
      {"no dependency record: the missing host product only warns", "win10", nullptr, "nodeps",
       "/U0 \"%T\"", 0, nullptr,
       [](ScenarioRun& run) {
         EXPECT_EQ(FileText(run.In("nodeps.txt")), "installed without dependencies\r\n");
       }},
      {"no dependency record: the NT 3.51 notice only warns", "nt351", nullptr, "nodeps",
       "/U0 /L \"%T\"", 0,
       [](ScenarioRun& run) {
         CreateDirectoryA(run.Scratch("host").c_str(), nullptr);
         SetMachineText(kHostKey, "Path", run.Scratch("host"));
       },
       [](ScenarioRun& run) {
         EXPECT_EQ(FileText(run.In("nodeps.txt")), "installed without dependencies\r\n");
         EXPECT_FALSE(Contains(run.Log(), "ERROR: ")) << run.Log();
       }},
      {"a file in use, Windows 95", "win95", "release1", "release2", "/U0 /L \"%T\"", 0, nullptr,
       [](ScenarioRun& run) { ExpectReplacedAtRestart(run); }, "readme.txt"},
      {"a file in use, Windows NT", "nt40", "release1", "release2", "/U0 /L \"%T\"", 0, nullptr,
       [](ScenarioRun& run) { ExpectReplacedAtRestart(run); }, "readme.txt"},
      {"a destination of 210 characters", "win10", nullptr, "release2", "/U0 \"%T\"", 0,
       [](ScenarioRun& run) { run.target = PathOfLength(run.target, 210); },
       [](ScenarioRun& run) { ExpectRelease2In(run, run.target); }},
      {"a destination of 211 characters", "win10", nullptr, "release2", "/U0 \"%T\"",
       kInvalidFolder,
       [](ScenarioRun& run) { run.target = PathOfLength(run.target, 211); },
       nothing_written},
      // On Windows NT a destination the installer creates gets its own
      // permissions, read back with the security API: as a folder the
      // system made from the descriptor text of those permissions, unlike
      // one made with the default ones. Not on the Windows 95 family, and
      // an existing destination is used as it is.
      {"a created destination gets the installer's permissions", "win10", nullptr, "release2",
       "/U0 \"%T\\new\"", 0, nullptr,
       [](ScenarioRun& run) {
         ExpectRelease2In(run, run.In("new"));
         ASSERT_TRUE(test::CreateFolderWith(run.Scratch("reference"), test::kInstalledFolderSddl));
         ASSERT_TRUE(test::CreateFolderWith(run.Scratch("default"), nullptr));
         // The folder on the way was made by the installer too.
         for (const std::string& folder : {run.target, run.In("new")}) {
           EXPECT_EQ(test::FileDaclText(folder), test::FileDaclText(run.Scratch("reference")));
           EXPECT_NE(test::FileDaclText(folder), test::FileDaclText(run.Scratch("default")));
         }
       }},
      {"a created destination keeps the default permissions on Windows 95", "win95", nullptr,
       "release2", "/U0 \"%T\"", 0, nullptr,
       [](ScenarioRun& run) {
         ExpectRelease2In(run, run.target);
         ASSERT_TRUE(test::CreateFolderWith(run.Scratch("default"), nullptr));
         EXPECT_EQ(test::FileDaclText(run.target), test::FileDaclText(run.Scratch("default")));
       }},
      {"an existing destination keeps its permissions", "win10", nullptr, "release2",
       "/U0 \"%T\"", 0,
       [](ScenarioRun& run) { ASSERT_TRUE(test::CreateFolderWith(run.target, nullptr)); },
       [](ScenarioRun& run) {
         ExpectRelease2In(run, run.target);
         ASSERT_TRUE(test::CreateFolderWith(run.Scratch("default"), nullptr));
         EXPECT_EQ(test::FileDaclText(run.target), test::FileDaclText(run.Scratch("default")));
       }},
      // Links planted where the installer works: nothing is written or
      // deleted through them.
      {"a destination that is a link is refused", "win10", nullptr, "release2", "/U0 /L \"%T\"",
       kFolderAccessDenied,
       [](ScenarioRun& run) {
         ASSERT_TRUE(CreateDirectoryA(run.Scratch("elsewhere").c_str(), nullptr));
         ASSERT_TRUE(test::MakeUnixLink(run.Scratch("elsewhere"), run.target));
       },
       [](ScenarioRun& run) {
         EXPECT_EQ(test::FolderContents(run.Scratch("elsewhere")), std::vector<std::string>{});
         EXPECT_TRUE(run.Record().empty() || run.Record() == "<missing>");
         EXPECT_FALSE(test::FileExists(SystemFolderFile("kestscen.dll")));
       }},
      {"a sub-folder that is a link is refused", "win10", nullptr, "release2", "/U0 /L \"%T\"",
       kFolderAccessDenied,
       [](ScenarioRun& run) {
         ASSERT_TRUE(CreateDirectoryA(run.target.c_str(), nullptr));
         ASSERT_TRUE(CreateDirectoryA(run.Scratch("elsewhere").c_str(), nullptr));
         ASSERT_TRUE(test::MakeUnixLink(run.Scratch("elsewhere"), run.In("docs")));
       },
       [](ScenarioRun& run) {
         EXPECT_EQ(test::FolderContents(run.Scratch("elsewhere")), std::vector<std::string>{});
         const std::string log = run.Log();
         EXPECT_TRUE(Contains(log, "ERROR: \"Cannot access folder\"")) << log;
         EXPECT_TRUE(Contains(log, "\"Path:   " + test::Lower(run.In("docs")) + "\"")) << log;
       }},
      {"obsolete files are not deleted through a linked folder", "win10", nullptr, "release2",
       "/U0 /L \"%T\"", 0,
       [](ScenarioRun& run) {
         ASSERT_TRUE(CreateDirectoryA(run.target.c_str(), nullptr));
         ASSERT_TRUE(CreateDirectoryA(run.Scratch("kept").c_str(), nullptr));
         ASSERT_TRUE(test::WriteWholeFile(run.Scratch("kept\\gone.txt"), "not the pack's\r\n"));
         ASSERT_TRUE(test::MakeUnixLink(run.Scratch("kept"), run.In("old")));
       },
       [](ScenarioRun& run) {
         ExpectRelease2In(run, run.target);
         EXPECT_EQ(FileText(run.Scratch("kept\\gone.txt")), "not the pack's\r\n");
         const std::string log = run.Log();
         EXPECT_TRUE(Contains(log, "\"File:   " + test::Lower(run.In("old\\gone.txt")) + "\""))
             << log;
       }},
      // Linux's link to a file: Wine follows it unseen, so only where the
      // opened file really lies tells.
      {"a link in place of install.log writes nothing through it", "win10", nullptr, "release2",
       "/U0 /L \"%T\"", 0,
       [](ScenarioRun& run) {
         ASSERT_TRUE(CreateDirectoryA(run.target.c_str(), nullptr));
         ASSERT_TRUE(test::WriteWholeFile(run.Scratch("victim.txt"), "the victim\r\n"));
         ASSERT_TRUE(test::MakeUnixLink(run.Scratch("victim.txt"), run.In("install.log")));
       },
       [](ScenarioRun& run) {
         ExpectRelease2In(run, run.target);
         EXPECT_EQ(FileText(run.Scratch("victim.txt")), "the victim\r\n");
       }},
      {"a dangling link in place of install.log creates nothing", "win10", nullptr, "release2",
       "/U0 /L \"%T\"", 0,
       [](ScenarioRun& run) {
         ASSERT_TRUE(CreateDirectoryA(run.target.c_str(), nullptr));
         // Made to an existing file, which then goes.
         ASSERT_TRUE(test::WriteWholeFile(run.Scratch("created.txt"), ""));
         ASSERT_TRUE(test::MakeUnixLink(run.Scratch("created.txt"), run.In("install.log")));
         ASSERT_TRUE(DeleteFileA(run.Scratch("created.txt").c_str()));
       },
       [](ScenarioRun& run) {
         ExpectRelease2In(run, run.target);
         EXPECT_FALSE(test::FileExists(run.Scratch("created.txt")));
       }},
      {"a second name of another file in place of install.log", "win10", nullptr, "release2",
       "/U0 /L \"%T\"", 0,
       [](ScenarioRun& run) {
         ASSERT_TRUE(CreateDirectoryA(run.target.c_str(), nullptr));
         ASSERT_TRUE(test::WriteWholeFile(run.Scratch("victim.txt"), "the victim\r\n"));
         ASSERT_TRUE(
             CreateHardLinkA(run.In("install.log").c_str(), run.Scratch("victim.txt").c_str(), nullptr));
       },
       [](ScenarioRun& run) {
         ExpectRelease2In(run, run.target);
         EXPECT_EQ(FileText(run.Scratch("victim.txt")), "the victim\r\n");
       }},
      // Lines kestpack refuses (built here with --keep-manifest-faults):
      // each reported and passed over, the good one still done.
      {"obsolete lines outside the destination are reported and skipped", "win10", nullptr,
       "obsolete", "/U0 /L \"%T\"", 0,
       [](ScenarioRun& run) {
         ASSERT_TRUE(test::WriteWholeFile(run.Scratch("victim.txt"), "the victim\r\n"));
         ASSERT_TRUE(CreateDirectoryA(run.target.c_str(), nullptr));
         ASSERT_TRUE(CreateDirectoryA(run.In("old").c_str(), nullptr));
         ASSERT_TRUE(test::WriteWholeFile(run.In("old\\gone.txt"), "old\r\n"));
         ASSERT_TRUE(test::WriteWholeFile(run.In("old\\kept.txt"), "old\r\n"));
       },
       [](ScenarioRun& run) {
         EXPECT_EQ(FileText(run.Scratch("victim.txt")), "the victim\r\n");
         EXPECT_FALSE(test::FileExists(run.In("old\\gone.txt")));
         EXPECT_TRUE(test::FileExists(run.In("old\\kept.txt")));
         const std::string log = run.Log();
         for (const char* line : {"..\\victim.txt", "old/kept.txt"}) {
           EXPECT_TRUE(Contains(log, std::string("       \"File:   ") + line + "\"")) << line << log;
         }
       }},
      // A folder token longer than the folder buffer is cut to it, and the
      // cut folder is refused for its length: nothing is installed in it.
      {"a command-line folder of 300 characters", "win10", nullptr, "release2", "/U0 %T",
       kInvalidFolder,
       [](ScenarioRun& run) { run.target = PathOfLength(run.target, 300); },
       [](ScenarioRun& run) {
         // Neither the folder given nor the one cut from it (both below it).
         EXPECT_FALSE(test::FileExists(run.Scratch("target")));
         EXPECT_TRUE(run.Record().empty() || run.Record() == "<missing>");
       }},
      {"a damaged package", "win10", nullptr, "%S\\damaged.exe", "/U0 \"%T\"", kDamagedPackage,
       [](ScenarioRun& run) {
         std::string bytes;
         ASSERT_TRUE(test::ReadWholeFile(PackPath("release2"), &bytes));
         bytes[bytes.size() - 400] ^= 0x01;
         ASSERT_TRUE(test::WriteWholeFile(run.Scratch("damaged.exe"), bytes));
       },
       nothing_written},
      {"/N: nothing registers", "win10", nullptr, "release2", "/U0 /N \"%T\"", 0, nullptr,
       [](ScenarioRun& run) {
         EXPECT_TRUE(test::FileExists(run.In("probe.dll")));
         EXPECT_FALSE(Contains(run.Record(), "full init")) << run.Record();
       }},
      {"/NP and /I reach the components", "win10", nullptr, "release2",
       "/U0 /NP /I c:\\context \"%T\"", 0, nullptr,
       [](ScenarioRun& run) {
         const std::string record = run.Record();
         EXPECT_TRUE(Contains(record, "full init")) << record;
         EXPECT_TRUE(Contains(record, "folder=c:\\context ")) << record;
         EXPECT_TRUE(Contains(record, " np=1 ")) << record;
       }},
      // The DLL search is limited to the system folder, but a component's
      // own folder still serves the libraries it imports.
      {"a component that needs a library beside it registers", "win10", nullptr, "sibling",
       "/U0 /L \"%T\"", 0, nullptr,
       [](ScenarioRun& run) {
         const std::string log = run.Log();
         EXPECT_TRUE(Contains(log, "Calling DllRegisterServer in \"" +
                                       test::Lower(run.In("sibling_user.dll")) + "\""))
             << log;
         EXPECT_FALSE(Contains(log, "ERROR: ")) << log;
       }},
      {"a silent run shows no window, even when it reports", "win10", nullptr, "windows",
       "/U0 \"%T\"", kSelfRegisterFailed, nullptr,
       [](ScenarioRun& run) {
         const std::string record = run.Record();
         EXPECT_TRUE(Contains(record, "failing register")) << record;
         // Only the hidden main window: no dialog, no message box. The
         // system's own hidden input-method window of a GUI thread aside.
         const size_t at = record.find("windows windows");
         ASSERT_NE(at, std::string::npos) << record;
         std::string windows = record.substr(at, record.find('\n', at) - at);
         for (size_t ime; (ime = windows.find(" IME:hidden")) != std::string::npos;) {
           windows.erase(ime, 11);
         }
         EXPECT_EQ(windows, "windows windows KestInst:hidden");
       }},
  };
}

std::string InstallerFor(const Scenario& s, const ScenarioRun& run) {
  const std::string installer = s.installer;
  if (installer.compare(0, 3, "%S\\") == 0) return run.Scratch(installer.substr(3));
  return PackPath(installer);
}

// Every line of an install log is of a kind the log's table lists: the
// start and stop lines with the blank lines around them, and stamped texts
// of the listed forms. A line outside the table is a fault of its own.
void ExpectOnlyListedLogLines(const std::string& log) {
  static const std::regex kStamp(
      "(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
      "[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} (AM|PM): (.*)");
  static const std::regex kTexts(
      "Logging (Started|Stopped) \\(\".*\"\\)\\."
      "|ERROR: \".*\""
      "|       \".*\""
      "|Copying \".*\" to install target"
      "|Setting directory for \".*\""
      "|Renaming archive from \".*\" to \".*\"( for lazy copy)?"
      "|Queuing \".*\" for lazy copy as \".*\"\\)"
      "|(Date/time|Version) compare for \".*\" indicates archive (is|is not) older than disk version"
      "|Loading \".*\" for (registration|unregistration)"
      "|Calling (DllInstallInit|DllRegisterServer|DllInstallShutdown|DllUnregisterServer) in \".*\""
      "|Unloading \".*\""
      "|Found valid dependency: \".*\""
      "| "
      "|(Executing|Returned from|Deleting) prerequisite install: \".*\"");
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::smatch stamped;
    EXPECT_TRUE(std::regex_match(line, stamped, kStamp) &&
                std::regex_match(stamped[4].str(), kTexts))
        << "a line the log does not list: \"" << line << "\"";
  }
}

void Play(const Scenario& s, const char* version) {
  SCOPED_TRACE(std::string(s.name) + " under " + version);
  ScenarioRun run(version);
  if (s.prepare) s.prepare(run);
  if (s.earlier_pack != nullptr) {
    ASSERT_EQ(run.Install(PackPath(s.earlier_pack), "/U0 \"%T\""), 0u);
  }
  HANDLE held = INVALID_HANDLE_VALUE;
  if (s.held != nullptr) {
    held = CreateFileA(run.In(s.held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE) << s.held;
  }
  EXPECT_EQ(run.Install(InstallerFor(s, run), s.arguments), s.exit_code);
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  s.check(run);
  // Rows that plant another file under the log's name leave it as it was.
  const std::string log = run.Log();
  if (Contains(log, " Logging Started (\"")) ExpectOnlyListedLogLines(log);
}

// A row is shown by its name.
void PrintTo(const Scenario& s, std::ostream* out) { *out << s.name; }

class InstallScenario : public testing::TestWithParam<Scenario> {};

TEST_P(InstallScenario, Runs) { Play(GetParam(), GetParam().version); }

// A row's name as a test name: letters and digits, the rest as "_".
std::string RowName(const testing::TestParamInfo<Scenario>& info) {
  std::string name;
  for (const char* p = info.param.name; *p != '\0'; ++p) {
    const bool word = isalnum(static_cast<unsigned char>(*p)) != 0;
    if (word) {
      name += *p;
    } else if (!name.empty() && name.back() != '_') {
      name += '_';
    }
  }
  while (!name.empty() && name.back() == '_') name.pop_back();
  return name;
}

INSTANTIATE_TEST_SUITE_P(Table, InstallScenario, testing::ValuesIn(Scenarios()), RowName);

// A drive that fills during the copy (a tmpfs of 512 KiB, mounted by
// tests/install/disk_full.sh): a clear code, the files written before
// intact, nothing half-written left.
TEST(DiskFull, TheCopyStopsWithAClearCodeAndKeepsEarlierFiles) {
  const char* drive = getenv("KEST_FULL_DRIVE");
  ASSERT_NE(drive, nullptr) << "run through tests/install/disk_full.sh";
  for (const char* version : {"win95", "win10"}) {
    SCOPED_TRACE(version);
    ScenarioRun run(version);
    run.target = std::string(drive) + "\\spill-" + version;
    EXPECT_EQ(run.Install(PackPath("spill"), "/U0 /L \"%T\""), 0x8040F000u);
    const std::string packed = kPacks + "\\spill-files\\";
    EXPECT_EQ(FileText(run.In("a-first.txt")), FileText(packed + "a-first.txt"));
    EXPECT_EQ(FileText(run.In("b-big.bin")), FileText(packed + "b-big.bin"));
    EXPECT_FALSE(test::FileExists(run.In("c-big.bin")));
    EXPECT_TRUE(Contains(run.Log(), "ERROR: ")) << run.Log();
    test::RemoveTree(run.target);
  }
}

// In code page 932 the character U+8868 is the bytes 95 5C: a folder named
// with it ends in a backslash's byte but not in a backslash. The log goes
// inside the folder, with the files, not beside it under a longer name.
TEST(CodePage932, TheLogOfAFolderEndingInATrailByte5CIsInsideIt) {
  ASSERT_EQ(GetACP(), 932u) << "runs with LC_ALL=ja_JP.UTF-8 (tests/scenario/CMakeLists.txt)";
  for (const char* version : {"win95", "win10"}) {
    SCOPED_TRACE(version);
    ScenarioRun run(version);
    const std::string name = "\x95\x5c";
    run.target = run.Scratch(name);
    ASSERT_EQ(run.Install(PackPath("release2"), "/U0 /L \"%T\""), 0u);
    EXPECT_EQ(FileText(run.In("readme.txt")), "Kest Scenario, release 2\r\n");
    EXPECT_TRUE(Contains(run.Log(), "Copying")) << run.Log();
    EXPECT_FALSE(test::FileExists(run.Scratch(name + "install.log")));
  }
}

TEST(InstallScenarioEveryWindows, FreshInstall) {
  const Scenario fresh = FreshInstall();
  for (const char* version : {"win95", "win98", "nt351", "nt40", "win2k"}) Play(fresh, version);
}

}  // namespace
}  // namespace kest
