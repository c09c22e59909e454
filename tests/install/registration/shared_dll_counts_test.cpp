// Shared-library counts against the real registry, through the installer
// context object's operations as a component calls them. Each test makes
// its own values and removes them.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "install/installer_context_win32.h"
#include "tests/install/registration/registration_fixture.h"

namespace kest {
namespace {

constexpr char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr char kPendingMoves[] = "PendingFileRenameOperations";

enum class Op { kAdd, kRelease };
enum class Start { kNone, kCount, kString };

// The pending moves at the next restart, as raw bytes; empty when none.
std::string PendingMoves() {
  HKEY key;
  std::string data;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != 0) {
    return data;
  }
  DWORD size = 0;
  if (RegQueryValueExA(key, kPendingMoves, nullptr, nullptr, nullptr, &size) == 0 && size > 0) {
    data.resize(size);
    RegQueryValueExA(key, kPendingMoves, nullptr, nullptr, reinterpret_cast<BYTE*>(&data[0]),
                     &size);
    data.resize(size);
  }
  RegCloseKey(key);
  return data;
}

TEST(SharedDllCounts, CountsFollowTheValueAndTheFile) {
  test::ScratchFolder folder;
  test::SharedDllsKey key;
  const std::string existing = folder.File("shared.dll");
  const std::string missing = folder.File("missing.dll");
  const std::string sub = folder.File("sub");
  ASSERT_TRUE(test::WriteWholeFile(existing, "x"));
  ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
  const std::string pending_before = PendingMoves();

  struct Case {
    const char* what;
    const std::string& path;
    Start start;
    DWORD start_count;
    Op op;
    int result;
    long long after;  // -1 no value, -2 not a REG_DWORD
  } cases[] = {
      {"uncounted file starts from 0", existing, Start::kNone, 0, Op::kAdd, 1, 1},
      {"counted file", existing, Start::kCount, 1, Op::kAdd, 1, 2},
      {"lowered", existing, Start::kCount, 2, Op::kRelease, 1, 1},
      {"lowered to 0, value kept", existing, Start::kCount, 1, Op::kRelease, 1, 0},
      {"nothing below 0", existing, Start::kCount, 0, Op::kRelease, 1, 0},
      {"uncounted file is not lowered into a value", existing, Start::kNone, 0, Op::kRelease, 1,
       -1},
      {"no count and no file", missing, Start::kNone, 0, Op::kAdd, 0, -1},
      {"no count and no file, lowering", missing, Start::kNone, 0, Op::kRelease, 0, -1},
      {"a count without its file", missing, Start::kCount, 3, Op::kAdd, 1, 4},
      {"a count without its file, lowering", missing, Start::kCount, 3, Op::kRelease, 1, 2},
      {"string value counts as none", existing, Start::kString, 0, Op::kAdd, 1, 1},
      {"string value and no file", missing, Start::kString, 0, Op::kAdd, 0, -2},
      {"a folder is no file", sub, Start::kNone, 0, Op::kAdd, 0, -1},
      {"never wraps to 0", existing, Start::kCount, 0xFFFFFFFF, Op::kAdd, 0, 0xFFFFFFFF},
  };
  InstallerContextPtr context(CreateInstallerContext(""));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.start == Start::kCount) key.SetCount(c.path, c.start_count);
    if (c.start == Start::kString) key.SetString(c.path, "text");
    const std::wstring path = test::Wide(c.path);
    int result = c.op == Op::kAdd ? context->AddSharedDllRef(path.c_str())
                                  : context->ReleaseSharedDllRef(path.c_str());
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(key.Count(c.path), c.after);
    key.Remove(c.path);
  }
  // With the delete-at-zero flag clear nothing is queued for the restart.
  EXPECT_EQ(PendingMoves(), pending_before);
}

TEST(SharedDllCounts, RefusedPathsTouchNothing) {
  test::SharedDllsKey key;
  // Counts exist for the over-long names, so a path that got through would
  // change them although no such file exists.
  const std::string fits = "c:\\" + std::string(252, 'a') + ".dll";  // 259 characters
  const std::string full = "c:\\" + std::string(253, 'b') + ".dll";  // 260
  const std::string over = "c:\\" + std::string(254, 'c') + ".dll";  // 261
  for (const std::string* name : {&fits, &full, &over}) key.SetCount(*name, 5);

  InstallerContextPtr context(CreateInstallerContext(""));
  const std::wstring wide_fits = test::Wide(fits), wide_full = test::Wide(full),
                     wide_over = test::Wide(over);
  EXPECT_EQ(context->AddSharedDllRef(wide_fits.c_str()), 1);
  EXPECT_EQ(key.Count(fits), 6);
  // 260 characters pass the length test but do not fit the ANSI path with
  // its terminator: refused, not cut to another name.
  EXPECT_EQ(context->AddSharedDllRef(wide_full.c_str()), 0);
  EXPECT_EQ(context->ReleaseSharedDllRef(wide_over.c_str()), 0);
  EXPECT_EQ(key.Count(full), 5);
  EXPECT_EQ(key.Count(over), 5);
  EXPECT_EQ(context->AddSharedDllRef(L""), 0);
  EXPECT_EQ(context->AddSharedDllRef(nullptr), 0);
  EXPECT_EQ(context->ReleaseSharedDllRef(reinterpret_cast<const wchar_t*>(16)), 0);
  for (const std::string* name : {&fits, &full, &over}) key.Remove(*name);
}

// The path is the value's name exactly as given: the short (8.3) and the
// long form of one file are two counts.
TEST(SharedDllCounts, ShortAndLongPathAreTwoValues) {
  test::ScratchFolder folder;
  test::SharedDllsKey key;
  const std::string long_path = folder.File("Long Shared Library.dll");
  ASSERT_TRUE(test::WriteWholeFile(long_path, "x"));
  char short_path[MAX_PATH];
  ASSERT_GT(GetShortPathNameA(long_path.c_str(), short_path, MAX_PATH), 0u);
  ASSERT_NE(long_path, short_path);

  InstallerContextPtr context(CreateInstallerContext(""));
  const std::wstring wide_long = test::Wide(long_path), wide_short = test::Wide(short_path);
  EXPECT_EQ(context->AddSharedDllRef(wide_long.c_str()), 1);
  EXPECT_EQ(context->AddSharedDllRef(wide_long.c_str()), 1);
  EXPECT_EQ(context->AddSharedDllRef(wide_short.c_str()), 1);
  EXPECT_EQ(key.Count(long_path), 2);
  EXPECT_EQ(key.Count(short_path), 1);
  key.Remove(long_path);
  key.Remove(short_path);
}

TEST(SharedDllCounts, MissingKeyIsNeverCreated) {
  HKEY probe;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, test::kSharedDllsPath, 0, KEY_READ, &probe) == 0) {
    RegCloseKey(probe);
    GTEST_SKIP() << "this prefix already has the SharedDlls key";
  }
  test::ScratchFolder folder;
  const std::string existing = folder.File("shared.dll");
  ASSERT_TRUE(test::WriteWholeFile(existing, "x"));
  InstallerContextPtr context(CreateInstallerContext(""));
  const std::wstring path = test::Wide(existing);
  EXPECT_EQ(context->AddSharedDllRef(path.c_str()), 0);
  EXPECT_EQ(context->ReleaseSharedDllRef(path.c_str()), 0);
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, test::kSharedDllsPath, 0, KEY_READ, &probe), 0);
}

// The installer never sets the flag; a component that sets it in the object
// has the file deleted at the next restart when its count drops to 0 (a
// pending move to nothing on Windows NT).
TEST(SharedDllCounts, DeleteAtZeroQueuesTheDeletion) {
  test::ScratchFolder folder;
  test::SharedDllsKey key;
  const std::string file = folder.File("leaving.dll");
  ASSERT_TRUE(test::WriteWholeFile(file, "x"));
  const std::string before = PendingMoves();
  key.SetCount(file, 2);

  InstallerContextPtr context(CreateInstallerContext(""));
  context->delete_at_zero = 1;
  const std::wstring path = test::Wide(file);
  EXPECT_EQ(context->ReleaseSharedDllRef(path.c_str()), 1);
  EXPECT_EQ(PendingMoves(), before);  // 1 left: nothing queued
  EXPECT_EQ(context->ReleaseSharedDllRef(path.c_str()), 1);
  EXPECT_EQ(key.Count(file), 0);
  const std::string after = PendingMoves();
  // Pairs of texts: the file's path (NT form), then an empty target.
  EXPECT_NE(after.find(file + std::string(2, '\0')), std::string::npos) << after;

  // Leave the restart as it was.
  HKEY session;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &session), 0);
  if (before.empty()) {
    RegDeleteValueA(session, kPendingMoves);
  } else {
    RegSetValueExA(session, kPendingMoves, 0, REG_MULTI_SZ,
                   reinterpret_cast<const BYTE*>(before.data()), before.size());
  }
  RegCloseKey(session);
  key.Remove(file);
}

}  // namespace
}  // namespace kest
