// kestpack build, checked from outside: Debian's arj and 7z read the bare
// archive, OpenSSL checks the signature, and the installer file is exactly
// image + archive + signature record.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "tests/kestpack/kestpack_test_support.h"
#include "tools/kestpack/file_times.h"
#include "tools/kestpack/installer_image.h"
#include "verify/public_key_slot.h"
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
  const char* const kMethods[] = {"--method 0", "--method 1", "--method 2", "--method 3",
                                  "--smallest"};
  for (int method = 0; method <= 4; ++method) {
    SCOPED_TRACE(kMethods[method]);
    std::string archive = Path("m" + std::to_string(method) + ".arj"), out;
    ASSERT_EQ(Kestpack(BuildArgs(dir_.path(), archive, true) + " " + kMethods[method], &out), 0)
        << out;

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
  // build --public-key put the test key into the stub's unfilled key slot.
  Bytes der;
  ASSERT_TRUE(ReadFile(SourcePath("tests/keys/test-signing-key.der"), &der));
  const size_t key_slot = FindPublicKeySlot(image.data(), image.size());
  ASSERT_LT(key_slot, image.size());
  std::copy(der.begin(), der.end(), image.begin() + key_slot + kKeySlotKeyField);

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
  const std::string kTestDer = SourcePath("tests/keys/test-signing-key.der");
  std::string out;
  ASSERT_EQ(RunCommand("openssl genrsa -out " + Path("big.pem") + " 1024", &out), 0) << out;
  ASSERT_EQ(Kestpack("keygen " + Path("vendor"), &out), 0) << out;
  ASSERT_TRUE(WriteStubWithKey(Path("test-stub.exe"), kTestDer));
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
    std::string from = "";  // the fixture the created file copies ("x" when empty)
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
       replaced(args, Path("CPACK.INF"), Path("CPACK.INI")), "will be installed as an ordinary file"},
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
      // The installer would refuse its own package (0x8040F001) or fail a
      // component (0x8040F005) or go without a manifest.
      {"stub with an unfilled key slot and no --public-key", "",
       with(Fixture("tiny_stub.exe"), kTestKey), "public-key slot holds no key"},
      {"stub carrying the test key, signed with another key", "",
       with(Path("test-stub.exe"), Path("vendor.pem")),
       "public-key slot holds the repository's TEST key, but " + Path("vendor.pem") +
           " is the key with MD5 fingerprint"},
      {"a public key that is not the signing key's half", "",
       replaced(args, kTestDer, Path("vendor.der")),
       Path("vendor.der") + " (the key with MD5 fingerprint"},
      {"a public key file that is not one", "", replaced(args, kTestDer, Path("CPACK.INI")),
       "not a 126-byte DER RSA public key"},
      {"a DLL for x86-64 beside an i386 stub", "grid64.dll", "",
       "grid64.dll: built for x86-64 (64-bit), but the stub is for i386 (32-bit)",
       Fixture("plain64.dll")},
      {"an OCX for x86-64 in a folder", "help/grid.OCX", "", "grid.OCX: built for x86-64",
       Fixture("plain64.dll")},
      {"the manifests swapped", "",
       replaced(replaced(replaced(args, Path("CPACK.INF"), "@"), Path("CPACK.INI"),
                         Path("CPACK.INF")),
                "@", Path("CPACK.INI")),
       "the installer takes " + Path("CPACK.INF") + " as the dependency manifest"},
  };
  for (const auto& c : kCases) {
    std::string created = c.file.empty() ? "" : Path("pack/" + c.file);
    Bytes content{'x'};
    if (!c.from.empty()) ASSERT_TRUE(ReadFile(c.from, &content)) << c.from;
    if (!created.empty()) WriteFile(created, content);
    std::string out;
    EXPECT_EQ(Kestpack(c.args.empty() ? args : c.args, &out), 1) << c.name << "\n" << out;
    EXPECT_NE(out.find(c.mentions), std::string::npos) << c.name << "\n" << out;
    struct stat st;
    EXPECT_NE(stat(Path("out.exe").c_str(), &st), 0) << c.name << ": output written";
    if (!created.empty()) remove(created.c_str());
  }
}

// The installer checks its package with the key in its stub's public-key
// slot. build fills the slot, or finds it filled, with the public half of
// the signing key, so that the two always match; verify names the key it
// used, by a fingerprint OpenSSL computes the same way.
TEST_F(KestpackBuild, TheStubCarriesThePublicHalfOfTheSigningKey) {
  const std::string test_pem = SourcePath("tests/keys/test-signing-key.pem");
  const std::string test_der = SourcePath("tests/keys/test-signing-key.der");
  std::string out;
  ASSERT_EQ(Kestpack("keygen " + Path("vendor"), &out), 0) << out;
  ASSERT_TRUE(WriteStubWithKey(Path("test-stub.exe"), test_der));
  ASSERT_TRUE(WriteStubWithKey(Path("vendor-stub.exe"), Path("vendor.der")));
  ASSERT_EQ(RunCommand("openssl dgst -md5 -c " + Path("vendor.der"), &out), 0) << out;
  const std::string fingerprint = out.substr(out.find("= ") + 2, 47);
  struct {
    const char* name;
    std::string stub, key, public_key;
    bool test_key;
  } const kCases[] = {
      {"a stub with an unfilled slot, filled with a vendor's key", Fixture("tiny_stub.exe"),
       Path("vendor.pem"), Path("vendor.der"), false},
      {"a stub carrying the test key, filled with a vendor's key", Path("test-stub.exe"),
       Path("vendor.pem"), Path("vendor.der"), false},
      {"a stub built with the vendor's key", Path("vendor-stub.exe"), Path("vendor.pem"), "",
       false},
      {"the test key on both sides", Path("test-stub.exe"), test_pem, "", true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string args = "build -o " + Path("out.exe") + " --stub " + c.stub + " --key " + c.key +
                       " --components " + Path("CPACK.INI") + " --dependencies " +
                       Path("CPACK.INF") + " " + Path("pack");
    if (!c.public_key.empty()) args += " --public-key " + c.public_key;
    ASSERT_EQ(Kestpack(args, &out), 0) << out;
    EXPECT_EQ(out.find("this installer is for testing only") != std::string::npos, c.test_key)
        << out;
    Bytes built, der;
    ASSERT_TRUE(ReadFile(Path("out.exe"), &built));
    ASSERT_TRUE(ReadFile(c.test_key ? test_der : Path("vendor.der"), &der));
    const size_t slot = FindPublicKeySlot(built.data(), built.size());
    ASSERT_LT(slot, built.size());
    EXPECT_TRUE(std::equal(der.begin(), der.end(), built.begin() + slot + kKeySlotKeyField));

    EXPECT_EQ(Kestpack("verify " + Path("out.exe"), &out), 0) << out;
    EXPECT_NE(out.find(c.test_key ? "the installer's own public key, the repository's TEST key"
                                  : "the installer's own public key, the key with MD5 "
                                    "fingerprint " + fingerprint),
              std::string::npos)
        << out;
    const std::string other = c.test_key ? Path("vendor.der") : test_der;
    EXPECT_EQ(Kestpack("verify " + Path("out.exe") + " --public-key " + other, &out), 1) << out;
    EXPECT_NE(out.find("signature does not match the package bytes under the public key in " +
                       other),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("the package may be signed with another key"), std::string::npos) << out;
    remove(Path("out.exe").c_str());
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
      {"build -o x.exe --archive-only --components a --dependencies b --method 2 --smallest pack",
       2},
      {"build -o", 2},
      {"build -o x.exe --stub s --key k --components a --dependencies b "
       "--modern-public-key m.der pack", 2},
      {"build -o x.exe --archive-only --components a --dependencies b --modern-key m pack", 2},
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

// Each usage error names what is wrong, with the option as the synopsis
// shows it.
TEST(KestpackUsage, MessagesNameTheFault) {
  struct {
    const char* args;
    const char* message;
  } const kCases[] = {
      {"build --bogus", "build: unknown option --bogus"},
      {"build -o", "build: option -o needs a value"},
      {"build pack", "build: -o OUT.exe is required"},
      {"build -o x.exe --components a --dependencies b pack", "build: --stub kestinst.exe is required"},
      {"build -o x.exe --stub s --key k --components a --dependencies b --modern-required pack",
       "build: --modern-required needs --modern-key"},
      {"extract x.exe", "extract: -C FOLDER is required"},
      {"keygen a b", "keygen: expected one BASENAME"},
      {"keygen --json a", "keygen: unknown option --json"},
      {"plan x.exe", "plan: --target FOLDER is required"},
  };
  for (const auto& c : kCases) {
    std::string out;
    EXPECT_EQ(Kestpack(c.args, &out), 2) << c.args << "\n" << out;
    EXPECT_EQ(out.find(std::string("kestpack: ") + c.message + "\n"), 0u) << c.args << "\n" << out;
  }
}

// The synopses in both READMEs are the ones --help prints, command by
// command in the overview's order, so a new option cannot be left out of
// them.
TEST(KestpackUsage, ReadmeSynopsesAreTheUsageTexts) {
  std::string overview;
  ASSERT_EQ(Kestpack("--help", &overview), 0);
  std::string expected;
  size_t commands = 0;
  for (size_t line = 0; line < overview.size(); line = overview.find('\n', line) + 1) {
    if (overview.compare(line, 2, "  ") != 0 || overview[line + 2] == ' ') continue;
    const std::string name = overview.substr(line + 2, overview.find(' ', line + 2) - line - 2);
    std::string usage;
    ASSERT_EQ(Kestpack(name + " --help", &usage), 0) << name;
    // "usage: " and its width of indentation on the lines after it, up to
    // the first empty line.
    const std::string synopsis = usage.substr(0, usage.find("\n\n") + 1);
    for (size_t at = 0; at < synopsis.size(); at = synopsis.find('\n', at) + 1) {
      expected += synopsis.substr(at + strlen("usage: "), synopsis.find('\n', at) + 1 - at -
                                                              strlen("usage: "));
    }
    ++commands;
  }
  ASSERT_GE(commands, 1u) << overview;
  for (const char* readme : {"README.md", "tools/kestpack/README.md"}) {
    Bytes bytes;
    ASSERT_TRUE(ReadFile(SourcePath(readme), &bytes)) << readme;
    const std::string text(bytes.begin(), bytes.end());
    const size_t block = text.find("```\nkestpack build ");
    ASSERT_NE(block, std::string::npos) << readme;
    const size_t begin = block + strlen("```\n");
    EXPECT_EQ(text.substr(begin, text.find("```", begin) - begin), expected) << readme;
  }
}

}  // namespace
}  // namespace test
}  // namespace kest
