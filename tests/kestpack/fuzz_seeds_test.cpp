// The fuzz targets' seed scripts, run from a folder of their own with a
// relative output folder. The signature target's seeds are installers and
// archives behind the offset at which their archive starts.
#include <dirent.h>
#include <gtest/gtest.h>

#include "tests/kestpack/kestpack_test_support.h"

namespace kest {
namespace test {
namespace {

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* e = readdir(dir)) {
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    }
    closedir(dir);
  }
  return names;
}

TEST(FuzzSeeds, ScriptsFillARelativeFolder) {
  TempDir dir;
  for (const char* target : {"archive", "decoder", "manifest", "signature"}) {
    std::string out;
    ASSERT_EQ(RunCommand("cd " + dir.path() + " && KESTPACK=" + KESTPACK_EXE +
                             " KEST_STUB=" + Fixture("tiny_stub.exe") + " bash " +
                             SourcePath("fuzz/seeds/") + target + ".sh seeds/" + target,
                         &out),
              0)
        << target << "\n" << out;
    EXPECT_FALSE(FilesIn(dir.path() + "/seeds/" + target).empty()) << target;
  }
  int installers = 0, archives = 0;
  for (const std::string& name : FilesIn(dir.path() + "/seeds/signature")) {
    Bytes seed;
    ASSERT_TRUE(ReadFile(dir.path() + "/seeds/signature/" + name, &seed));
    ASSERT_GE(seed.size(), 6u) << name;
    const uint32_t offset = seed[0] | seed[1] << 8 | seed[2] << 16 | uint32_t(seed[3]) << 24;
    ASSERT_LT(offset + 5u, seed.size()) << name;
    EXPECT_TRUE(seed[4 + offset] == 0x60 && seed[5 + offset] == 0xEA) << name;
    ++(offset != 0 ? installers : archives);
  }
  EXPECT_GT(installers, 0);
  EXPECT_GT(archives, 0);
}

}  // namespace
}  // namespace test
}  // namespace kest
