// kestpack list, verify and extract on installers it built and on archives
// other archivers wrote; the signature refused wherever a byte changes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <set>

#include "packaging/archive_writer.h"
#include "tests/kestpack/kestpack_test_support.h"
#include "tools/kestpack/commands.h"
#include "verify/signature_record.h"

namespace kest {
namespace test {
namespace {

class KestpackPackage : public testing::Test {
 protected:
  void SetUp() override {
    files_ = SamplePackFiles();
    WritePack(dir_.path(), files_);
    std::string out;
    ASSERT_EQ(Kestpack(BuildArgs(dir_.path(), Path("setup.exe"), false), &out), 0) << out;
    ASSERT_TRUE(ReadFile(Path("setup.exe"), &installer_));
    ASSERT_TRUE(SplitInstaller(installer_, &parts_));
  }
  std::string Path(const std::string& name) const { return dir_.path() + "/" + name; }
  // kestpack verify, in this process, on bytes written to a file.
  int VerifyBytes(const Bytes& bytes) {
    WriteFile(Path("variant.exe"), bytes);
    return kVerifyCommand.run({Path("variant.exe")});
  }

  TempDir dir_;
  std::vector<SampleFile> files_;
  Bytes installer_;
  InstallerParts parts_;
};

TEST_F(KestpackPackage, ListShowsEntriesAsTheInstallerReadsThem) {
  std::string out;
  ASSERT_EQ(Kestpack("list " + Path("setup.exe"), &out), 0) << out;
  EXPECT_NE(out.find("installer, archive at offset " + std::to_string(parts_.archive_offset) +
                     ", archive length " + std::to_string(parts_.archive_length)),
            std::string::npos)
      << out;
  // Names lower-cased with '\'; the DLL's version; the manifests stored.
  for (const char* line : {"cpack.ini\n", "cpack.inf\n", "_winsys\\tiny.dll\n", "readme.txt\n",
                           "help\\deep\\empty.txt\n", "1.2.3.4", "1997-01-24 21:19:17 UTC"}) {
    EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
  }
  EXPECT_NE(out.find("stored"), std::string::npos);
}

TEST_F(KestpackPackage, ExtractWritesEveryEntryByteForByte) {
  std::string out;
  ASSERT_EQ(Kestpack("extract " + Path("setup.exe") + " -C " + Path("out"), &out), 0) << out;
  for (const SampleFile& f : files_) {
    std::string name = f.name.compare(0, 5, "pack/") == 0 ? f.name.substr(5) : f.name;
    for (char& c : name) c = char(tolower(c));
    Bytes got;
    ASSERT_TRUE(ReadFile(Path("out/" + name), &got)) << name;
    EXPECT_TRUE(got == f.data) << name;
  }
}

TEST_F(KestpackPackage, ExtractRefusesNamesThatLeaveTheFolder) {
  for (const char* name : {"../escape.txt", "sub/../../escape.txt", "/tmp/escape.txt", "c:x.txt",
                           "NUL"}) {
    MemorySink sink;
    ArchiveWriter writer(sink);
    const uint8_t data[] = {'x'};
    EntryInfo info = {name, 0x22388269, 0, {0, 0, 0, 0}};
    ASSERT_EQ(writer.Begin("EVIL.ARJ", 0x22388269), 0u);
    ASSERT_EQ(writer.AddEntry(info, data, 1, 0), 0u) << name;
    ASSERT_EQ(writer.Finish(), 0u);
    WriteFile(Path("evil.arj"), sink.bytes);
    std::string out;
    EXPECT_EQ(Kestpack("extract " + Path("evil.arj") + " -C " + Path("in/deep"), &out), 1)
        << name << "\n" << out;
    EXPECT_NE(out.find("refused"), std::string::npos) << name << "\n" << out;
    struct stat st;
    EXPECT_NE(stat(Path("in/escape.txt").c_str(), &st), 0) << name;
    EXPECT_NE(stat(Path("escape.txt").c_str(), &st), 0) << name;
  }
}

TEST_F(KestpackPackage, ReadsArchivesOfOtherArchivers) {
  // Debian's arj: no Qel1 extensions, host Unix, "/" in names.
  std::string out;
  ASSERT_EQ(RunCommand("cd " + dir_.path() + "/pack && arj a -m1 -r " + Path("other.arj") +
                           " '*'",
                       &out),
            0)
      << out;
  ASSERT_EQ(Kestpack("list " + Path("other.arj"), &out), 0) << out;
  EXPECT_NE(out.find("bare archive"), std::string::npos) << out;
  EXPECT_NE(out.find("help\\grid.txt"), std::string::npos) << out;
  ASSERT_EQ(Kestpack("extract " + Path("other.arj") + " -C " + Path("arj-out"), &out), 0) << out;
  Bytes got;
  ASSERT_TRUE(ReadFile(Path("arj-out/help/grid.txt"), &got));
  EXPECT_TRUE(got == files_[3].data);
  EXPECT_EQ(Kestpack("verify " + Path("other.arj"), &out), 1);
  EXPECT_NE(out.find("no signature"), std::string::npos) << out;
}

TEST_F(KestpackPackage, VerifyAcceptsOnlyTheMatchingKey) {
  std::string out;
  EXPECT_EQ(Kestpack("verify " + Path("setup.exe"), &out), 0) << out;
  EXPECT_NE(out.find("signature OK"), std::string::npos) << out;
  EXPECT_EQ(Kestpack("verify " + Path("setup.exe") + " --public-key " +
                         SourcePath("tests/keys/test-signing-key.der"), &out),
            0)
      << out;
  // A new pair from keygen: the package verifies only with its public key,
  // and OpenSSL agrees with kestpack's signature.
  ASSERT_EQ(Kestpack("keygen " + Path("vendor"), &out), 0) << out;
  struct stat st;
  ASSERT_EQ(stat(Path("vendor.der").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 126);
  ASSERT_EQ(stat(Path("vendor.pem").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  std::string args = BuildArgs(dir_.path(), Path("vendor.exe"), false);
  args.replace(args.find(SourcePath("tests/keys/test-signing-key.pem")),
               SourcePath("tests/keys/test-signing-key.pem").size(), Path("vendor.pem"));
  ASSERT_EQ(Kestpack(args, &out), 0) << out;
  EXPECT_EQ(Kestpack("verify " + Path("vendor.exe") + " --public-key " + Path("vendor.der"), &out),
            0)
      << out;
  EXPECT_EQ(Kestpack("verify " + Path("vendor.exe"), &out), 1) << "built-in test key accepted";
  EXPECT_NE(out.find("does not match"), std::string::npos) << out;
  EXPECT_EQ(Kestpack("verify " + Path("setup.exe") + " --public-key " + Path("vendor.der"), &out),
            1);
  EXPECT_EQ(Kestpack("verify " + Path("setup.exe") + " --public-key " + Path("vendor.pem"), &out),
            1)
      << "a PEM file is not a DER public key";
}

TEST_F(KestpackPackage, AnyChangedByteBeforeTheTrailerIsRefused) {
  const size_t a = parts_.archive_offset, end = a + parts_.archive_length;
  // Named places, then a sweep across the whole signed range.
  std::set<size_t> positions = {0,        1,          0x3C,       a - 1,    a,       a + 2,
                                a + 10,   a + 40,     a + 60,     end - 1,  end - 2, end - 5,
                                end - 30, end - 60,   end - 100};
  for (size_t at = 3; at < end; at += 1499) positions.insert(at);
  for (size_t at : positions) {
    Bytes variant = installer_;
    variant[at] ^= 0xFF;
    EXPECT_EQ(VerifyBytes(variant), 1) << "changed byte at " << at << " of " << end;
  }
}

TEST_F(KestpackPackage, TrailerCases) {
  const size_t end = parts_.archive_offset + parts_.archive_length;
  auto changed = [&](size_t at, uint8_t value) {
    Bytes b = installer_;
    if (at >= b.size()) b.resize(at + 1, 0);
    b[at] = value;
    return b;
  };
  struct {
    const char* name;
    Bytes file;
    int status;
  } const kCases[] = {
      {"intact", installer_, 0},
      {"bytes appended after the record", changed(end + kSignatureRecordBytes + 20, 0x33), 0},
      {"second marker damaged", changed(end + kSecondMarkerOffset, 'r'), 1},
      {"first marker damaged", changed(end + 1, 'U'), 1},
      {"signer name in other case", changed(end + kSignerOffset, 'm'), 1},
      {"signature byte", changed(end + kSignatureOffset, installer_[end + kSignatureOffset] ^ 1),
       1},
      {"record cut short", Bytes(installer_.begin(), installer_.end() - 1), 1},
      {"no trailer", Bytes(installer_.begin(), installer_.begin() + end), 1},
      {"cut short inside the archive", Bytes(installer_.begin(), installer_.begin() + end - 500),
       1},
  };
  for (const auto& c : kCases) EXPECT_EQ(VerifyBytes(c.file), c.status) << c.name;
}

}  // namespace
}  // namespace test
}  // namespace kest
