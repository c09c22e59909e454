// kestpack build, checked from outside: Debian's arj and 7z read the bare
// archive, OpenSSL checks the signature, and the installer file is exactly
// image + archive + signature record.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "tests/kestpack/kestpack_test_support.h"
#include "tools/kestpack/file_times.h"
#include "tools/kestpack/installer_image.h"
#include "verify/signature_record.h"

namespace kest {
namespace test {
namespace {

class KestpackBuild : public testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "EST5", 1);  // the DOS times below are local times
    tzset();
    files_ = SamplePackFiles();
    WritePack(dir_.path(), files_);
  }
  std::string Path(const std::string& name) const { return dir_.path() + "/" + name; }
  Bytes Read(const std::string& name) const {
    Bytes b;
    EXPECT_TRUE(ReadFile(Path(name), &b)) << name;
    return b;
  }
  // Entry names in archive order: the manifests, then the folder's files by
  // the bytes of their paths.
  std::vector<std::string> ExpectedNames() const {
    std::vector<std::string> names = {"CPACK.INI", "CPACK.INF"};
    std::vector<std::string> rest;
    for (const SampleFile& f : files_) {
      if (f.name.compare(0, 5, "pack/") == 0) rest.push_back(f.name.substr(5));
    }
    std::sort(rest.begin(), rest.end());
    names.insert(names.end(), rest.begin(), rest.end());
    return names;
  }

  TempDir dir_;
  std::vector<SampleFile> files_;
};

TEST_F(KestpackBuild, BareArchivesExtractByteIdenticallyWithArjAnd7z) {
  for (int method = 0; method <= 3; ++method) {
    SCOPED_TRACE("method " + std::to_string(method));
    std::string archive = Path("m" + std::to_string(method) + ".arj"), out;
    ASSERT_EQ(Kestpack(BuildArgs(dir_.path(), archive, true) + " --method " +
                           std::to_string(method), &out), 0) << out;

    // 7z: the names, in order.
    ASSERT_EQ(RunCommand("7z l -slt " + archive, &out), 0) << out;
    std::vector<std::string> listed;
    for (size_t at = out.find("\nPath = "); at != std::string::npos;
         at = out.find("\nPath = ", at + 1)) {
      std::string name = out.substr(at + 8, out.find('\n', at + 1) - at - 8);
      if (name != archive) listed.push_back(name);
    }
    EXPECT_EQ(listed, ExpectedNames());

    for (const char* tool : {"arj", "7z"}) {
      std::string target = Path(std::string(tool) + std::to_string(method));
      mkdir(target.c_str(), 0755);
      std::string command = std::string(tool) == "arj"
                                ? "cd " + target + " && arj x -y " + archive
                                : "7z x -y -o" + target + " " + archive;
      ASSERT_EQ(RunCommand(command, &out), 0) << out;
      for (const SampleFile& f : files_) {
        std::string name = f.name.compare(0, 5, "pack/") == 0 ? f.name.substr(5) : f.name;
        Bytes got;
        ASSERT_TRUE(ReadFile(target + "/" + name, &got)) << tool << " " << name;
        EXPECT_TRUE(got == f.data) << tool << " " << name;
        if (std::string(tool) == "arj") {
          // arj sets the DOS time, a local time rounded up to even seconds.
          struct stat st;
          stat((target + "/" + name).c_str(), &st);
          EXPECT_EQ(st.st_mtime, LocalDosTimeToUnix(UnixToLocalDosTime(f.mtime, 0))) << name;
        }
      }
    }
    if (method == 0) {
      EXPECT_EQ(RunCommand("arj l " + archive + " | grep -c ' 1.000 '", &out), 0);
      EXPECT_EQ(std::stoi(out), int(files_.size())) << "every entry stored";
    }
  }
}

TEST_F(KestpackBuild, InstallerIsImageArchiveAndASignatureOpenSslAccepts) {
  std::string out;
  ASSERT_EQ(Kestpack(BuildArgs(dir_.path(), Path("bare.arj"), true), &out), 0) << out;
  ASSERT_EQ(Kestpack(BuildArgs(dir_.path(), Path("setup.exe"), false), &out), 0) << out;
  Bytes stub, image, archive = Read("bare.arj"), installer = Read("setup.exe");
  ASSERT_TRUE(ReadFile(Fixture("tiny_stub.exe"), &stub));
  std::string error;
  ASSERT_TRUE(PrepareInstallerImage(stub, &image, &error)) << error;

  InstallerParts parts;
  ASSERT_TRUE(SplitInstaller(installer, &parts));
  EXPECT_EQ(parts.archive_offset, image.size());
  EXPECT_EQ(parts.archive_length, archive.size());
  ASSERT_EQ(installer.size(), image.size() + archive.size() + kSignatureRecordBytes);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), installer.begin()));
  EXPECT_TRUE(std::equal(archive.begin(), archive.end(), installer.begin() + image.size()));

  const size_t signed_length = image.size() + archive.size();
  const uint8_t* record = installer.data() + signed_length;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record)), "RuvxSig");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record + kSignerOffset)),
            "Morvane Development");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record + kSecondMarkerOffset)), "RuvxSig");

  WriteFile(Path("signed.bin"), Bytes(installer.begin(), installer.begin() + signed_length));
  WriteFile(Path("signature.bin"), Bytes(record + kSignatureOffset,
                                         record + kSignatureOffset + kSignatureBytes));
  std::string verify = "openssl dgst -md5 -verify " +
                       SourcePath("tests/keys/test-signing-key.der") +
                       " -keyform DER -signature " + Path("signature.bin") + " ";
  EXPECT_EQ(RunCommand(verify + Path("signed.bin"), &out), 0) << out;
  EXPECT_NE(out.find("Verified OK"), std::string::npos) << out;
  installer[100] ^= 1;
  WriteFile(Path("signed.bin"), Bytes(installer.begin(), installer.begin() + signed_length));
  EXPECT_NE(RunCommand(verify + Path("signed.bin"), &out), 0) << "tampered data verified";
}

TEST_F(KestpackBuild, SameInputsGiveTheSameBytes) {
  // A second copy of the pack, written in the opposite order so that the
  // folders list their files differently, under another root and name.
  TempDir other;
  std::vector<SampleFile> reversed(files_.rbegin(), files_.rend());
  WritePack(other.path(), reversed);
  std::string out;
  ASSERT_EQ(Kestpack(BuildArgs(dir_.path(), Path("one.exe"), false), &out), 0) << out;
  ASSERT_EQ(Kestpack(BuildArgs(other.path(), other.path() + "/two.exe", false), &out), 0) << out;
  Bytes two;
  ASSERT_TRUE(ReadFile(other.path() + "/two.exe", &two));
  EXPECT_TRUE(Read("one.exe") == two);
}

TEST_F(KestpackBuild, RefusesBadInputsNamingTheFile) {
  const std::string args = BuildArgs(dir_.path(), Path("out.exe"), false);
  const std::string kTestKey = SourcePath("tests/keys/test-signing-key.pem");
  std::string out;
  ASSERT_EQ(RunCommand("openssl genrsa -out " + Path("big.pem") + " 1024", &out), 0) << out;
  auto replaced = [](std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
  };
  auto with = [&](const std::string& stub, const std::string& key) {
    return "build -o " + Path("out.exe") + " --stub " + stub + " --key " + key +
           " --components " + Path("CPACK.INI") + " --dependencies " + Path("CPACK.INF") + " " +
           Path("pack");
  };
  struct {
    const char* name;
    std::string file;      // created in the pack (relative to it) before the build, or ""
    std::string args;      // replaces the build arguments when not empty
    std::string mentions;  // the message must contain this
  } const kCases[] = {
      {"device name", "CON.txt", "", "CON.txt"},
      {"device name in a folder", "help/aux", "", "aux"},
      {"trailing dot", "help/notes.", "", "notes."},
      {"backslash inside a name", "a\\..\\..\\x.dll", "", "x.dll"},
      {"names differing in case", "readme.txt", "", "readme.txt"},
      {"a name outside ASCII", "help/caf\xC3\xA9.txt", "", "caf\xC3\xA9.txt"},
      {"an escape sequence in a name", "\x1B[31mred", "", "\\x1B[31mred"},
      {"a file named like the component manifest", "cpack.ini", "", "same entry"},
      {"the manifest's name in other case", "CPACK.inf", "", "same entry"},
      {"one file as both manifests", "",
       replaced(args, Path("CPACK.INF"), Path("CPACK.INI")), "same entry"},
      {"output that is a folder", "", replaced(args, Path("out.exe"), Path("pack")),
       "pack: is a folder"},
      {"missing folder", "", BuildArgs(dir_.path() + "/nowhere", Path("out.exe"), false),
       "nowhere"},
      {"stub that is not a PE image", "", with(Path("CPACK.INI"), kTestKey), "CPACK.INI"},
      {"stub without an archive offset slot", "", with(Fixture("versioned.dll"), kTestKey),
       "versioned.dll"},
      {"public key given as the private key", "",
       with(Fixture("tiny_stub.exe"), SourcePath("tests/keys/test-signing-key.der")),
       "test-signing-key.der"},
      {"key of 1024 bits", "", with(Fixture("tiny_stub.exe"), Path("big.pem")), "768-bit"},
  };
  for (const auto& c : kCases) {
    std::string created = c.file.empty() ? "" : Path("pack/" + c.file);
    if (!created.empty()) WriteFile(created, Bytes{'x'});
    std::string out;
    EXPECT_EQ(Kestpack(c.args.empty() ? args : c.args, &out), 1) << c.name << "\n" << out;
    EXPECT_NE(out.find(c.mentions), std::string::npos) << c.name << "\n" << out;
    struct stat st;
    EXPECT_NE(stat(Path("out.exe").c_str(), &st), 0) << c.name << ": output written";
    if (!created.empty()) remove(created.c_str());
  }
}

TEST_F(KestpackBuild, OutputIsMadeUnderANameOfItsOwnAndRenamed) {
  // A link planted at a temporary name that could be guessed from the output.
  const Bytes kVictim = {'v'};
  WriteFile(Path("victim"), kVictim);
  ASSERT_EQ(symlink(Path("victim").c_str(), Path("setup.exe.kestpack-tmp").c_str()), 0);
  std::string out;
  ASSERT_EQ(Kestpack(BuildArgs(dir_.path(), Path("setup.exe"), false), &out), 0) << out;
  EXPECT_TRUE(Read("victim") == kVictim);
  EXPECT_EQ(Kestpack("verify " + Path("setup.exe"), &out), 0) << out;
  // The longest name a folder can hold leaves no room for a suffix.
  const std::string longest = Path(std::string(251, 'n') + ".exe");
  ASSERT_EQ(Kestpack(BuildArgs(dir_.path(), longest, false), &out), 0) << out;
  EXPECT_EQ(Kestpack("verify " + longest, &out), 0) << out;
  // Nothing else is left in the folder.
  ASSERT_EQ(RunCommand("LC_ALL=C ls -A " + dir_.path(), &out), 0);
  EXPECT_EQ(out, "CPACK.INF\nCPACK.INI\n" + std::string(251, 'n') +
                     ".exe\npack\nsetup.exe\nsetup.exe.kestpack-tmp\nvictim\n");
}

TEST_F(KestpackBuild, LinksInTheFolderArePackedOnlyWhenAskedFor) {
  const Bytes kSecret = {'s'};
  WriteFile(Path("secret.txt"), kSecret);
  ASSERT_EQ(mkdir(Path("elsewhere").c_str(), 0755), 0);
  WriteFile(Path("elsewhere/key.txt"), kSecret);
  struct {
    const char* link;
    std::string target;
    const char* listed;  // by kestpack list with --follow-links
  } const kCases[] = {
      {"help/notes.txt", Path("secret.txt"), "help\\notes.txt"},
      {"more", Path("elsewhere"), "more\\key.txt"},
  };
  for (const auto& c : kCases) {
    const std::string link = Path("pack/") + c.link;
    ASSERT_EQ(symlink(c.target.c_str(), link.c_str()), 0);
    std::string out;
    EXPECT_EQ(Kestpack(BuildArgs(dir_.path(), Path("out.arj"), true), &out), 1) << out;
    EXPECT_NE(out.find(link + ": a symbolic link"), std::string::npos) << out;
    EXPECT_NE(out.find("--follow-links"), std::string::npos) << out;
    struct stat st;
    EXPECT_NE(stat(Path("out.arj").c_str(), &st), 0) << c.link;
    ASSERT_EQ(Kestpack(BuildArgs(dir_.path(), Path("out.arj"), true) + " --follow-links", &out),
              0)
        << out;
    ASSERT_EQ(Kestpack("list " + Path("out.arj"), &out), 0) << out;
    EXPECT_NE(out.find(c.listed), std::string::npos) << out;
    remove(link.c_str());
    remove(Path("out.arj").c_str());
  }
  // The folder itself may be a link.
  ASSERT_EQ(symlink(Path("pack").c_str(), Path("chosen").c_str()), 0);
  std::string args = BuildArgs(dir_.path(), Path("out.arj"), true);
  args.replace(args.rfind(Path("pack")), Path("pack").size(), Path("chosen"));
  std::string out;
  EXPECT_EQ(Kestpack(args, &out), 0) << out;
}

TEST(KestpackUsage, ExitCodesAndHelp) {
  struct {
    const char* args;
    int status;
  } const kCases[] = {
      {"", 2},
      {"frobnicate", 2},
      {"--help", 0},
      {"build", 2},
      {"build -o x.exe pack", 2},
      {"build --bogus", 2},
      {"build -o x.exe --archive-only --components a --dependencies b --method 4 pack", 2},
      {"build -o", 2},
      {"list", 2},
      {"verify", 2},
      {"extract x.exe", 2},
      {"keygen", 2},
      {"keygen a b", 2},
  };
  for (const auto& c : kCases) {
    std::string out;
    EXPECT_EQ(Kestpack(c.args, &out), c.status) << c.args << "\n" << out;
    EXPECT_NE(out.find("usage: kestpack"), std::string::npos) << c.args;
  }
  for (const char* command : {"build", "list", "verify", "extract", "keygen"}) {
    std::string out;
    EXPECT_EQ(Kestpack(std::string(command) + " --help", &out), 0) << command;
    EXPECT_EQ(out.find(std::string("usage: kestpack ") + command), 0u) << out;
  }
}

}  // namespace
}  // namespace test
}  // namespace kest
