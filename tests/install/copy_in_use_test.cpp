// A self-registering library in use by another program, met by the file
// copy in this process: its DllInstallInit may ask for the replacement now,
// and the user is then asked to close the program (the test's dialog
// answer stops the program holding the file); otherwise the old copy is
// not unregistered and its replacement waits for the restart. The test
// components are those of the registration tests (components/probe.c),
// which record the entry points they run.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "archive/package_reader.h"
#include "archive/win32_file_source.h"
#include "archive/win32_output_files.h"
#include "base/host_status_platform.h"
#include "base/install_codes.h"
#include "base/install_options.h"
#include "base/install_status.h"
#include "base/win32_log_backend.h"
#include "install/copy_pass_win32.h"
#include "tests/install/copy_test_support.h"
#include "tests/manifest/failing_allocation.h"

namespace kest {
namespace {

using test::Contents;
using test::FileHolder;
using test::ScratchFolder;
using test::Strings;

// Recorded reports whose answer may first act, as a user closing a
// program before pressing Try Again.
class AnsweringPlatform : public RecordingStatusPlatform {
 public:
  uint32_t ShowErrorDialog(InstallStatus& status) override {
    if (before_answer) before_answer();
    return RecordingStatusPlatform::ShowErrorDialog(status);
  }
  std::function<void()> before_answer;
};

class NoProgress : public Progress {
 public:
  void ShowProgressText(const char*) override {}
  void PumpMessages() override {}
};

// The copy pass in this process over the bare archive at archive, into
// destination (the current directory meanwhile, with the install log).
bool CopyHere(const std::string& archive, const std::string& destination, uint32_t* options,
              StringList* installed, StringList* created) {
  Win32LogBackend log;
  Status().log.SetBackend(&log);
  Status().log.SetLogging(destination.c_str(), kOptionLogBit);
  char saved[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, saved);
  SetCurrentDirectoryA(destination.c_str());
  bool result = false;
  Win32File file;
  if (OpenFileForReading(archive.c_str(), FILE_FLAG_RANDOM_ACCESS, &file) == 0) {
    Win32FileSystem output;
    BareArchiveReader reader(new Win32FileSource(std::move(file)), true, output);
    if (reader.Open()) {
      InstallerContextPtr context(CreateInstallerContext(""));
      NoProgress progress;
      const CopyPassParts parts = {options, destination.c_str(), "", installed, created,
                                   context.get(), &progress, nullptr};
      result = CopyPackageFiles(reader, parts);
    }
  }
  SetCurrentDirectoryA(saved);
  Status().log.SetLogging(nullptr, 0);
  Status().log.SetBackend(nullptr);
  return result;
}

// The events a probe recorded ("attach", "init", "unregister", ...).
Strings ProbeEvents(const std::string& record) {
  Strings events;
  std::istringstream lines(Contents(record));
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string probe, event;
    words >> probe >> event;
    events.push_back(event);
  }
  return events;
}

TEST(CopyPassInUse, ReplaceNowIsWaitedForOtherwiseTheLibraryIsReplacedAtTheRestart) {
  struct Case {
    const char* probe;
    uint32_t answer;  // to the in-use question
    bool result;
    uint32_t code;
    Strings events;
    Strings dialogs;
    bool replaced_now;
  };
  const Case kCases[] = {
      // Asks for replacement now: unregistered; the user frees the file.
      {"replace_now", kChoiceRetry, true, 0,
       {"attach", "init", "unregister", "shutdown", "detach"}, {"0x8040F00C"}, true},
      // ... or gives up: the file stays as it was.
      {"replace_now", kChoiceFirst, false, kCodeFileInUse,
       {"attach", "init", "unregister", "shutdown", "detach"}, {"0x8040F00C"}, false},
      // Does not ask: not unregistered, written beside, queued.
      {"full", kChoiceRetry, true, 0, {"attach", "init", "shutdown", "detach"}, {}, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.probe) + " answered " + std::to_string(c.answer));
    test::ForgetQueuedReplacements();
    ScratchFolder destination, work;
    const std::string target = test::Lower(destination.File("comp.dll"));
    const std::string old_bytes = Contents(KEST_PROBE_DIR "\\probe_" + std::string(c.probe) + ".dll");
    ASSERT_TRUE(test::WriteWholeFile(target, old_bytes));
    const std::string archive = work.File("copy.arj");
    ASSERT_TRUE(test::WriteWholeFile(
        archive, test::BuildArchive({{"comp.dll", "new component", {9, 9, 9, 9}, 1}})));
    const std::string record = work.File("record.txt");
    SetEnvironmentVariableA("KEST_PROBE_RECORD", record.c_str());

    FileHolder holder(target, FileHolder::Mode::kSharedRead);
    ASSERT_TRUE(holder.holding());
    AnsweringPlatform platform;
    platform.choices.push_back(c.answer);
    platform.before_answer = [&] {
      if (c.answer == kChoiceRetry) holder.Release();
    };
    StringList installed, created;
    uint32_t options = 0;
    const bool result = CopyHere(archive, destination.path(), &options, &installed, &created);
    const uint32_t code = Status().install_code;
    SetEnvironmentVariableA("KEST_PROBE_RECORD", nullptr);
    holder.Release();

    EXPECT_EQ(result, c.result);
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(ProbeEvents(record), c.events);
    Strings dialogs;
    for (const RecordingStatusPlatform::Shown& shown : platform.shown) {
      char text[16];
      snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(shown.code));
      dialogs.push_back(text);
      EXPECT_EQ(shown.detail, "");
    }
    EXPECT_EQ(dialogs, c.dialogs);
    const bool queued = !c.replaced_now && c.result;
    EXPECT_EQ((options & kStateRestartNeeded) != 0, queued);
    EXPECT_TRUE(Contents(target) == (c.replaced_now ? "new component" : old_bytes));
    Strings names;
    for (const StringList::Node* n = installed.head(); n != nullptr; n = n->next) names.push_back(n->text);
    if (queued) {
      ASSERT_EQ(names.size(), 1u);
      EXPECT_EQ(Contents(names[0]), "new component");
      EXPECT_EQ(test::PendingMoves(), (Strings{"\\??\\" + names[0], "!\\??\\" + target}));
    } else {
      EXPECT_EQ(names, c.result ? Strings{target} : Strings{});
      EXPECT_EQ(test::PendingMoves(), Strings{});
    }
    test::ForgetQueuedReplacements();
  }
}

// The created-folders list cannot take a folder the pass made: the report
// offers Try Again, which makes and records the folder again; any other
// answer ends the pass.
TEST(CopyPassFolders, OutOfMemoryRecordingAFolderOffersTryAgain) {
  for (const uint32_t answer : {kChoiceRetry, kChoiceFirst}) {
    SCOPED_TRACE(answer);
    ScratchFolder destination, work;
    const std::string folder = test::Lower(destination.File("made by the copy pass")) + "\\";
    const std::string archive = work.File("copy.arj");
    ASSERT_TRUE(test::WriteWholeFile(
        archive, test::BuildArchive({{"made by the copy pass/x.txt", "x", {}, 1}})));
    AnsweringPlatform platform;
    platform.choices.push_back(answer);
    StringList installed, created;
    uint32_t options = 0;
    const int failed_before = FailedAllocations();
    FailAllocations(folder.size() + 1, 1);
    const bool result = CopyHere(archive, destination.path(), &options, &installed, &created);
    StopFailingAllocations();
    EXPECT_EQ(FailedAllocations(), failed_before + 1);
    Strings codes;
    for (const RecordingStatusPlatform::Shown& shown : platform.shown) codes.push_back(std::to_string(shown.code));
    EXPECT_EQ(codes, Strings{std::to_string(kCodeOutOfMemory)});
    EXPECT_EQ(result, answer == kChoiceRetry);
    EXPECT_EQ(Contents(folder + "x.txt"), answer == kChoiceRetry ? "x" : "<missing>");
    if (answer == kChoiceRetry) {
      ASSERT_NE(created.head(), nullptr);
      EXPECT_EQ(test::Lower(created.head()->text), folder);
    }
  }
}

}  // namespace
}  // namespace kest

