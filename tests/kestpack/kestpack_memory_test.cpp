// kestpack with little memory, in this process: every allocation of 64 MiB
// or more fails. A command that runs out of memory says so and exits 1;
// and what can be refused without reading the inputs is refused before
// any input is read, so those refusals come whatever the memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/kestpack/kestpack_test_support.h"
#include "tests/kestpack/throwing_allocation.h"
#include "tools/kestpack/commands.h"

namespace kest {
namespace test {
namespace {

constexpr size_t kLimit = size_t(64) << 20;

// A file of size bytes that takes no room on disk.
void MakeSparse(const std::string& path, off_t size) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0) << path;
  EXPECT_EQ(ftruncate(fd, size), 0) << path;
  close(fd);
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  size_t at = 0;
  while ((at = text.find_first_not_of(' ', at)) != std::string::npos) {
    size_t end = text.find(' ', at);
    words.push_back(text.substr(at, end - at));
    at = end;
  }
  return words;
}

class KestpackMemory : public testing::Test {
 protected:
  void SetUp() override {
    WritePack(dir_.path(), SamplePackFiles());
    std::string out;
    ASSERT_EQ(Kestpack(BuildArgs(dir_.path(), Path("setup.exe"), false), &out), 0) << out;
  }
  std::string Path(const std::string& name) const { return dir_.path() + "/" + name; }
  // Runs the command line (words separated by blanks) as kestpack's main
  // does, with the allocation limit; returns the status and stderr.
  int Run(const std::string& line, std::string* errors) {
    std::vector<std::string> words = Words(line);
    for (const Subcommand* command : {&kBuildCommand, &kListCommand, &kVerifyCommand,
                                      &kExtractCommand}) {
      if (words[0] != command->name) continue;
      testing::internal::CaptureStderr();
      int status;
      {
        ScopedAllocationLimit limit(kLimit);
        status = RunSubcommand(*command, std::vector<std::string>(words.begin() + 1, words.end()));
      }
      *errors = testing::internal::GetCapturedStderr();
      return status;
    }
    ADD_FAILURE() << "no command " << words[0];
    return -1;
  }
  // Entries of the test folder whose names start with prefix.
  int CountNamed(const std::string& prefix) {
    std::string out;
    RunCommand("ls -A " + dir_.path() + " | grep -c '^" + prefix + "'", &out);
    return std::stoi(out);
  }

  TempDir dir_;
};

TEST_F(KestpackMemory, RunningOutOfMemoryIsReportedAndLeavesNothing) {
  MakeSparse(Path("pack/help/big.bin"), off_t(kLimit) + 1);
  MakeSparse(Path("big.exe"), off_t(kLimit) + 1);
  const std::string kCases[] = {
      BuildArgs(dir_.path(), Path("setup.exe"), false),
      "extract " + Path("big.exe") + " -C " + Path("out"),
  };
  Bytes before;
  ASSERT_TRUE(ReadFile(Path("setup.exe"), &before));
  for (const std::string& args : kCases) {
    std::string errors;
    EXPECT_EQ(Run(args, &errors), kExitBadInput) << args;
    EXPECT_NE(errors.find("out of memory"), std::string::npos) << args << "\n" << errors;
  }
  Bytes after;
  ASSERT_TRUE(ReadFile(Path("setup.exe"), &after));
  EXPECT_TRUE(before == after) << "the old output was changed";
  EXPECT_EQ(CountNamed(".kestpack"), 0) << "a temporary file was left";
}

// list and verify read through one open file and never hold it whole: an
// installer with a tail larger than the memory they may use passes.
TEST_F(KestpackMemory, ListAndVerifyNeedLittleMemoryWhateverTheFileSize) {
  Bytes setup;
  ASSERT_TRUE(ReadFile(Path("setup.exe"), &setup));
  std::string out;
  ASSERT_EQ(RunCommand("cp " + Path("setup.exe") + " " + Path("tail.exe"), &out), 0) << out;
  ASSERT_EQ(truncate(Path("tail.exe").c_str(), off_t(setup.size()) + 2 * off_t(kLimit)), 0);
  for (const std::string& args : {"list " + Path("tail.exe"), "verify " + Path("tail.exe")}) {
    std::string errors;
    EXPECT_EQ(Run(args, &errors), kExitOk) << args << "\n" << errors;
  }
}

TEST_F(KestpackMemory, WhatCanBeCheckedIsCheckedBeforeAnyInputIsRead) {
  // Reading any of these files would run out of memory, so each refusal
  // below comes before the first of them is read. Stored, the two large
  // ones need more than the 4 GiB a package can hold.
  MakeSparse(Path("pack/help/big.bin"), off_t(kLimit) + 1);
  MakeSparse(Path("pack/data/huge1.bin"), off_t(2100) << 20);
  MakeSparse(Path("pack/data/huge2.bin"), off_t(2100) << 20);
  struct {
    const char* name;
    std::string args;
    std::string says;
  } const kCases[] = {
      {"missing output folder", BuildArgs(dir_.path(), Path("nowhere/out.arj"), true),
       Path("nowhere/out.arj") + ": cannot create a file in " + Path("nowhere")},
      {"output that is a folder", BuildArgs(dir_.path(), Path("pack"), true),
       Path("pack") + ": is a folder"},
      {"archive over 4 GiB", BuildArgs(dir_.path(), Path("out.arj"), true) + " --method 0",
       "would exceed 4 GiB"},
      {"installer over 4 GiB", BuildArgs(dir_.path(), Path("out.exe"), false) + " --method 0",
       "would exceed 4 GiB"},
  };
  for (const auto& c : kCases) {
    std::string errors;
    EXPECT_EQ(Run(c.args, &errors), kExitBadInput) << c.name;
    EXPECT_NE(errors.find(c.says), std::string::npos) << c.name << "\n" << errors;
  }
  EXPECT_EQ(CountNamed(".kestpack"), 0) << "a temporary file was left";
}

}  // namespace
}  // namespace test
}  // namespace kest
