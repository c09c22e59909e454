// Self-registration with real component DLLs built by the test build
// (components/probe.c): which files count, the registration pass and the
// unregistration sequence, checked by what the components recorded and by
// the install log.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/install_codes.h"
#include "base/install_options.h"
#include "base/install_status.h"
#include "install/self_registration_win32.h"
#include "manifest/string_list.h"
#include "tests/install/registration/registration_fixture.h"

namespace kest {
namespace {

using Lines = std::vector<std::string>;

const Lines kRegistered = {
    "Loading \"%s\" for registration",        "Calling DllInstallInit in \"%s\"",
    "Calling DllRegisterServer in \"%s\"",    "Calling DllInstallShutdown in \"%s\"",
    "Unloading \"%s\"",                       " "};
const Lines kRegistrationFailed = {
    "ERROR: \"The named file could not register itself.\"", "       \"File:   %s\""};

Lines Join(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The init line a probe writes for the context the fixture makes.
std::string InitLine(const std::string& probe, const InstallerContext* context, int np) {
  char address[17];
  unsigned long long value = reinterpret_cast<uintptr_t>(context);
  snprintf(address, sizeof(address), "%08lx%08lx", static_cast<unsigned long>(value >> 32),
           static_cast<unsigned long>(value));
  return probe + " init context=" + address + " size=" + std::to_string(sizeof(InstallerContext)) +
         " folder=c:\\context text folder_in_object=1 np=" + std::to_string(np) +
         " supported=1,0 set_2=0 options=" + std::to_string(np) + " replace_now=0";
}

using SelfRegistration = test::RegistrationTest;

TEST_F(SelfRegistration, OnlyMarkedLibrariesWithALowerCaseExtensionCount) {
  const std::string full = AddProbe("full", "full.dll");
  struct Case {
    std::string path;
    bool expected;
  } cases[] = {
      {full, true},
      {AddProbe("full", "grid.ocx"), true},
      {AddProbe("full", "UPPER.DLL"), false},
      {AddProbe("full", "mixed.Dll"), false},
      {AddProbe("full", "probe.exe"), false},
      {AddProbe("unmarked", "unmarked.dll"), false},
      {AddProbe("no_version", "no_version.dll"), false},
      {AddProbe("second_translation", "second.dll"), false},
      {folder_.File("missing.dll"), false},
      {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(IsSelfRegistering(c.path.c_str()), c.expected);
  }
  // Deciding never loads a library.
  EXPECT_TRUE(Record().empty());
}

// One pass over files of every kind, in list order: the log lines, what the
// components saw, the status line, the pending report and the options.
TEST_F(SelfRegistration, PassRegistersEachLibraryInListOrder) {
  const std::string full = AddProbe("full", "full.dll");
  const std::string text = folder_.File("readme.txt");
  ASSERT_TRUE(test::WriteWholeFile(text, "not a library"));
  const std::string register_only = AddProbe("register_only", "register_only.dll");
  const std::string upper = AddProbe("full", "UPPER.DLL");
  const std::string failing = AddProbe("failing", "failing.dll");
  const std::string unmarked = AddProbe("unmarked", "unmarked.dll");
  const std::string refuses = AddProbe("refuses_load", "refuses.dll");
  StringList installed;
  for (const std::string* name :
       {&full, &text, &register_only, &upper, &failing, &unmarked, &refuses}) {
    installed.Append(name->c_str());
  }

  uint32_t options = kOptionLogBit;
  EXPECT_TRUE(RegisterInstalledFiles(options, installed, *context_, progress_));

  EXPECT_EQ(LogLines(), Join({test::Fill(kRegistered, full),
                              test::Fill({"Loading \"%s\" for registration",
                                          "Calling DllRegisterServer in \"%s\"",
                                          "Unloading \"%s\"", " "},
                                         register_only),
                              test::Fill({"Loading \"%s\" for registration",
                                          "Calling DllInstallInit in \"%s\"",
                                          "Calling DllRegisterServer in \"%s\""},
                                         failing),
                              test::Fill(kRegistrationFailed, failing),
                              test::Fill({"Calling DllInstallShutdown in \"%s\"",
                                          "Unloading \"%s\"", " "},
                                         failing),
                              test::Fill({"Loading \"%s\" for registration"}, refuses),
                              test::Fill(kRegistrationFailed, refuses), {" "}}));
  EXPECT_EQ(Record(), (Lines{"full attach " + full, InitLine("full", context_.get(), 0),
                             "full register", "full shutdown", "full detach",
                             "register_only attach " + register_only, "register_only register",
                             "register_only detach", "failing attach " + failing,
                             InitLine("failing", context_.get(), 0),
                             "failing register", "failing shutdown", "failing detach",
                             "refuses_load attach " + refuses}));
  EXPECT_EQ(progress_.events,
            (Lines{"text Configuring " + full, "pump", "text Configuring " + text,
                   "text Configuring " + register_only, "pump", "text Configuring " + upper,
                   "text Configuring " + failing, "pump", "text Configuring " + unmarked,
                   "text Configuring " + refuses, "pump"}));
  // Only the failed DllRegisterServer sets the bit; the last report stays
  // pending; the list is untouched and no library stays loaded.
  EXPECT_EQ(options, kOptionLogBit | kStateRegistrationFailed);
  EXPECT_EQ(Status().install_code, kCodeSelfRegisterFailed);
  EXPECT_EQ(Status().button_set, kButtonsExitOnly);
  EXPECT_EQ(installed.count(), 7u);
  for (const std::string* name : {&full, &register_only, &failing, &refuses}) {
    EXPECT_EQ(GetModuleHandleA(name->c_str()), nullptr) << *name;
  }
}

TEST_F(SelfRegistration, NoRegistrationSwitchLoadsNothing) {
  StringList installed;
  installed.Append(AddProbe("full", "full.dll").c_str());
  uint32_t options = kOptionNoRegistration | kOptionContextBit;
  EXPECT_TRUE(RegisterInstalledFiles(options, installed, *context_, progress_));
  EXPECT_TRUE(Record().empty());
  EXPECT_TRUE(progress_.events.empty());
  EXPECT_TRUE(LogLines().empty());
  EXPECT_EQ(options, kOptionNoRegistration | kOptionContextBit);
  EXPECT_EQ(context_->options, 0u);
}

// With /NP the components see option 1 set, and cannot set option 2; from
// C with the thiscall form and with the form Visual C++ uses.
TEST_F(SelfRegistration, ContextSwitchSetsTheOption) {
  StringList installed;
  const std::string full = AddProbe("full", "full.dll");
  const std::string fastcall = AddProbe("fastcall", "fastcall.dll");
  installed.Append(full.c_str());
  installed.Append(fastcall.c_str());
  uint32_t options = kOptionContextBit;
  EXPECT_TRUE(RegisterInstalledFiles(options, installed, *context_, progress_));
  EXPECT_EQ(Record(), (Lines{"full attach " + full, InitLine("full", context_.get(), 1),
                             "full register", "full shutdown", "full detach",
                             "fastcall attach " + fastcall, InitLine("fastcall", context_.get(), 1),
                             "fastcall register", "fastcall shutdown", "fastcall detach"}));
  EXPECT_EQ(options, kOptionContextBit);
  EXPECT_EQ(Status().install_code, 0u);
}

// A name without a folder is the file in the current directory, never one
// the DLL search order finds first: a library of the same name lies beside
// this test program, which LoadLibrary would search before the current
// directory.
TEST_F(SelfRegistration, BareNameLoadsTheFileInTheCurrentDirectory) {
  const std::string copy = AddProbe("full", "probe_full.dll");
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(folder_.path().c_str()));
  StringList installed;
  installed.Append("probe_full.dll");
  uint32_t options = 0;
  RegisterInstalledFiles(options, installed, *context_, progress_);
  SetCurrentDirectoryA(previous);
  Lines record = Record();
  ASSERT_FALSE(record.empty());
  EXPECT_EQ(record[0], "full attach " + copy);
}

// A component that shares a file keeps its count through the object it
// receives in DllInstallInit.
TEST_F(SelfRegistration, ComponentKeepsSharedCounts) {
  test::SharedDllsKey key;
  const std::string shared = folder_.File("common.dll");
  ASSERT_TRUE(test::WriteWholeFile(shared, "x"));
  SetEnvironmentVariableA("KEST_PROBE_SHARED", shared.c_str());
  StringList installed;
  installed.Append(AddProbe("shared", "shared.dll").c_str());
  uint32_t options = 0;
  RegisterInstalledFiles(options, installed, *context_, progress_);
  SetEnvironmentVariableA("KEST_PROBE_SHARED", nullptr);
  Lines record = Record();
  ASSERT_GE(record.size(), 3u);
  EXPECT_EQ(record[2], "shared shared add=1,1 release=1");
  EXPECT_EQ(key.Count(shared), 1);
  // The flag it left set does not reach the next component's counts.
  EXPECT_EQ(context_->delete_at_zero, 0u);
  key.Remove(shared);
}

struct UnregisterCase {
  const char* probe;
  UnregisterForm form;
  bool in_use;
  Lines log;      // after "Loading ... for unregistration"
  Lines record;   // after the attach line
  uint32_t replace_now_after;
};

TEST_F(SelfRegistration, UnregistrationSequence) {
  const Lines init = {"Calling DllInstallInit in \"%s\""};
  const Lines unregister = {"Calling DllUnregisterServer in \"%s\""};
  const Lines shutdown = {"Calling DllInstallShutdown in \"%s\""};
  const Lines unload = {"Unloading \"%s\""};
  const Lines error = kRegistrationFailed;
  const UnregisterCase cases[] = {
      {"full", UnregisterForm::kObsoleteFile, false, Join({init, unregister, shutdown, unload}),
       {"init", "unregister", "shutdown", "detach"}, 0},
      {"full", UnregisterForm::kReplacement, false, Join({init, unregister, shutdown, unload}),
       {"init", "unregister", "shutdown", "detach"}, 0},
      // An old copy in use is replaced at the restart: it stays registered.
      {"full", UnregisterForm::kReplacement, true, Join({init, shutdown, unload}),
       {"init", "shutdown", "detach"}, 0},
      // ...unless its DllInstallInit asks for the replacement now.
      {"replace_now", UnregisterForm::kReplacement, true,
       Join({init, unregister, shutdown, unload}), {"init", "unregister", "shutdown", "detach"},
       1},
      {"full", UnregisterForm::kObsoleteFile, true, Join({init, unregister, shutdown, unload}),
       {"init", "unregister", "shutdown", "detach"}, 0},
      // The unregistration line is written even without the entry point.
      {"register_only", UnregisterForm::kObsoleteFile, false, Join({unregister, unload}),
       {"detach"}, 0},
      // Every failure is reported, and forgotten at once.
      {"failing", UnregisterForm::kObsoleteFile, false,
       Join({init, error, unregister, error, shutdown, error, unload}),
       {"init", "unregister", "shutdown", "detach"}, 0},
      // A library that does not load is left alone, unreported.
      {"refuses_load", UnregisterForm::kObsoleteFile, false, {}, {}, 0},
  };
  int n = 0;
  for (const UnregisterCase& c : cases) {
    SCOPED_TRACE(std::string(c.probe) + " case " + std::to_string(n));
    const std::string path = AddProbe(c.probe, "old" + std::to_string(n++) + ".dll");
    DeleteFileA(record_path_.c_str());
    const size_t logged = LogLines().size();
    context_->replace_now = 0;

    UnregisterLibrary(path.c_str(), *context_, c.form, c.in_use);

    Lines log = LogLines();
    log.erase(log.begin(), log.begin() + logged);
    EXPECT_EQ(log, test::Fill(Join({{"Loading \"%s\" for unregistration"}, c.log}), path));
    Lines record = Record();
    ASSERT_FALSE(record.empty());
    record.erase(record.begin());  // attach
    for (std::string& line : record) {  // the event word only
      line = line.substr(line.find(' ') + 1);
      line = line.substr(0, line.find(' '));
    }
    EXPECT_EQ(record, c.record);
    EXPECT_EQ(context_->replace_now, c.replace_now_after);
    EXPECT_EQ(Status().install_code, 0u);
    EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr);
  }
}

}  // namespace
}  // namespace kest
