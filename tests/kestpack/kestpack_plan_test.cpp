// kestpack init and plan on the build machine. What plan foretells is
// checked against the real installer in tests/scenario/plan_agrees.py; here
// are the cases that need no installer: the templates, the folder lookup
// (letter case, the host product's folder), an entry judged against what an
// earlier entry of the same pack writes, and what plan refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "tests/kestpack/kestpack_test_support.h"

namespace kest {
namespace test {
namespace {

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// WriteFile, with the folders on the way made first.
void Put(const std::string& path, const std::string& text) {
  for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
    mkdir(path.substr(0, at).c_str(), 0755);
  }
  WriteFile(path, Text(text));
}

// The JSON line of the file entry called name ("name": "..." opens it).
std::string FileLine(const std::string& json, const std::string& name) {
  const size_t at = json.find("{\"name\": \"" + name + "\"");
  if (at == std::string::npos) return "<no entry " + name + ">";
  return json.substr(at, json.find('\n', at) - at);
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(KestpackInit, WritesTemplatesThatBuildTakesAndNeverOverwrites) {
  TempDir dir;
  const std::string m = dir.path() + "/manifests";
  std::string out;
  ASSERT_EQ(Kestpack("init " + m, &out), 0) << out;
  Put(dir.path() + "/files/readme.txt", "x\r\n");
  // build refuses manifests with faults (lines the installer would skip).
  EXPECT_EQ(Kestpack("build --archive-only -o " + dir.path() + "/t.arj --components " + m +
                         "/CPACK.INI --dependencies " + m + "/CPACK.INF " + dir.path() + "/files",
                     &out),
            0)
      << out;
  EXPECT_FALSE(Has(out, "warning")) << out;
  ASSERT_EQ(Kestpack("list " + dir.path() + "/t.arj", &out), 0) << out;
  EXPECT_TRUE(Has(out, "Product         \"Your Product\"")) << out;
  EXPECT_TRUE(Has(out, "Default         \"C:\\Your Product\\\"")) << out;

  // A second init leaves an edited manifest alone, and writes nothing.
  Put(m + "/CPACK.INI", "[Component1]\r\nProduct=Mine\r\n");
  ASSERT_EQ(unlink((m + "/CPACK.INF").c_str()), 0);
  EXPECT_EQ(Kestpack("init " + m, &out), 1);
  EXPECT_TRUE(Has(out, "CPACK.INI: exists already")) << out;
  Bytes kept;
  ASSERT_TRUE(ReadFile(m + "/CPACK.INI", &kept));
  EXPECT_EQ(kept, Text("[Component1]\r\nProduct=Mine\r\n"));
  struct stat st;
  EXPECT_NE(stat((m + "/CPACK.INF").c_str(), &st), 0);
}

class KestpackPlan : public testing::Test {
 protected:
  // A pack of three entries, in this order: _scriba\x.h (dated kNew),
  // include\x.h (dated kOld) and readme.txt (kNew), and two obsolete files;
  // its default folder is C:\Acme\.
  void SetUp() override {
    const std::string files = Path("files");
    Put(files + "/_scriba/x.h", "host header\r\n");
    SetMtime(files + "/_scriba/x.h", kNew);
    Put(files + "/include/x.h", "include header\r\n");
    SetMtime(files + "/include/x.h", kOld);
    Put(files + "/readme.txt", "readme\r\n");
    SetMtime(files + "/readme.txt", kNew);
    Put(Path("CPACK.INI"), "[Component1]\r\nProduct=P\r\n[ObsoleteFiles]\r\n"
                                      "old\\gone.txt\r\nold\\fixed.txt\r\n");
    Put(Path("CPACK.INF"), "[Dependencies]\r\nDefault=C:\\Acme\\\r\n");
    std::string out;
    ASSERT_EQ(Kestpack("build --archive-only -o " + Path("p.arj") + " --components " +
                           Path("CPACK.INI") + " --dependencies " + Path("CPACK.INF") + " " + files,
                       &out),
              0)
        << out;
    // The machine: the destination and its files in other letter cases.
    Put(Path("drive/ACME/README.TXT"), "the user's\r\n");
    SetMtime(Path("drive/ACME/README.TXT"), kNew + 60);
    Put(Path("drive/ACME/Old/gone.txt"), "old\r\n");
    Put(Path("drive/ACME/Old/fixed.txt"), "read-only\r\n");
    chmod(Path("drive/ACME/Old/fixed.txt").c_str(), 0444);
  }
  std::string Path(const std::string& name) const { return dir_.path() + "/" + name; }
  std::string Plan(const std::string& options) {
    std::string out;
    EXPECT_EQ(Kestpack("plan " + Path("p.arj") + " --target " + Path("drive") + " " + options,
                       &out),
              0)
        << out;
    return out;
  }

  static constexpr int64_t kOld = 1700000000;
  static constexpr int64_t kNew = 1800000000;
  TempDir dir_;
};

TEST_F(KestpackPlan, FindsNamesWhateverTheirCaseAndJudgesEachEntryAfterTheOnesBefore) {
  const std::string json = Plan("--json");
  // Without the host product, _scriba files go to <destination>\include,
  // where the older include\x.h then meets the newer one just written.
  EXPECT_TRUE(Has(FileLine(json, "_scriba\\\\x.h"), "\"action\": \"new\"")) << json;
  EXPECT_TRUE(Has(FileLine(json, "_scriba\\\\x.h"), "\"target\": \"" + Path("drive/ACME/include/x.h") + "\""))
      << json;
  EXPECT_TRUE(Has(FileLine(json, "include\\\\x.h"), "\"action\": \"keep\"")) << json;
  // README.TXT is the disk's name for readme.txt; it is newer.
  EXPECT_TRUE(Has(FileLine(json, "readme.txt"), "\"action\": \"keep\"")) << json;
  EXPECT_TRUE(Has(FileLine(json, "readme.txt"), "\"target\": \"" + Path("drive/ACME/README.TXT") + "\""))
      << json;
  // Obsolete files are found the same way; a read-only one cannot be
  // deleted.
  EXPECT_TRUE(Has(json, "{\"line\": \"old\\\\gone.txt\", \"path\": \"" +
                            Path("drive/ACME/Old/gone.txt") + "\", \"action\": \"remove\"}"))
      << json;
  EXPECT_TRUE(Has(json, "{\"line\": \"old\\\\fixed.txt\", \"path\": \"" +
                            Path("drive/ACME/Old/fixed.txt") + "\", \"action\": \"cannot delete\"}"))
      << json;
  EXPECT_TRUE(Has(json, "\"silent_stop\": null")) << json;
}

TEST_F(KestpackPlan, SendsHostFilesToTheHostFolderAndPlansOtherDestinations) {
  Put(Path("host/X.H"), "older\r\n");
  SetMtime(Path("host/X.H"), kOld);
  const std::string json = Plan("--json --host " + Path("host") + " --destination 'D:\\Other'");
  EXPECT_TRUE(Has(FileLine(json, "_scriba\\\\x.h"), "\"action\": \"replace\"")) << json;
  EXPECT_TRUE(Has(FileLine(json, "_scriba\\\\x.h"), "\"target\": \"" + Path("host/X.H") + "\""))
      << json;
  EXPECT_TRUE(Has(FileLine(json, "include\\\\x.h"), "\"action\": \"new\"")) << json;
  EXPECT_TRUE(Has(FileLine(json, "readme.txt"), "\"target\": \"" + Path("drive/Other/readme.txt") + "\""))
      << json;
  EXPECT_TRUE(Has(json, "\"destination_from\": \"--destination\"")) << json;
}

TEST_F(KestpackPlan, RefusesWhatItCannotPlan) {
  std::string out;
  EXPECT_EQ(Kestpack("plan " + Path("p.arj"), &out), 2) << out;  // no --target
  EXPECT_TRUE(Has(out, "--target FOLDER is required")) << out;
  EXPECT_EQ(Kestpack("plan " + Path("p.arj") + " --target " + Path("none"), &out), 1) << out;
  EXPECT_TRUE(Has(out, "not a folder")) << out;
  EXPECT_EQ(Kestpack("plan " + Path("p.arj") + " --target " + Path("drive") +
                         " --destination relative\\folder",
                     &out),
            2)
      << out;
  EXPECT_TRUE(Has(out, "not a full Windows path")) << out;
  Put(Path("broken.arj"), "not an archive");
  EXPECT_EQ(Kestpack("plan " + Path("broken.arj") + " --target " + Path("drive"), &out), 1)
      << out;
}

}  // namespace
}  // namespace test
}  // namespace kest
