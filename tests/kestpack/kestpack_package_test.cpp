// kestpack list, verify and extract on installers it built and on archives
// other archivers wrote; the signature refused wherever a byte changes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <set>

#include "packaging/archive_writer.h"
#include "tests/kestpack/kestpack_test_support.h"
#include "tools/kestpack/commands.h"
#include "tools/kestpack/extract_folder.h"
#include "tools/kestpack/file_times.h"
#include "verify/modern_key_slot.h"
#include "verify/modern_record.h"
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
    // The header's MS-DOS local time: the moment rounded up to even seconds.
    struct stat st;
    ASSERT_EQ(stat(Path("out/" + name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, LocalDosTimeToUnix(UnixToLocalDosTime(f.mtime, 0))) << name;
  }
}

TEST_F(KestpackPackage, ExtractRefusesNamesThatLeaveTheFolder) {
  for (const char* name : {"../escape.txt", "sub/../../escape.txt", "/tmp/escape.txt", "c:x.txt",
                           "NUL"}) {
    WriteFile(Path("evil.arj"), StoredArchive({{name, Bytes{'x'}}}));
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

TEST_F(KestpackPackage, ExtractWritesThroughNoLinkBelowTheFolder) {
  const std::string outside_file = Path("outside.txt"), outside_folder = Path("outside");
  const Bytes kOld = {'o', 'l', 'd'}, kNew = {'n', 'e', 'w'};
  ASSERT_EQ(mkdir(outside_folder.c_str(), 0755), 0);
  WriteFile(Path("archive.arj"), StoredArchive({{"a.txt", kNew}, {"sub/b.txt", kNew}}));
  // Links already in the destination, leading out of it.
  struct {
    const char* name;
    const char* link;
    std::string target;
  } const kCases[] = {
      {"a link where a file goes", "a.txt", outside_file},
      {"a link where a folder goes", "sub", outside_folder},
  };
  for (const auto& c : kCases) {
    TempDir destination;
    WriteFile(outside_file, kOld);
    const std::string link = destination.path() + "/" + c.link;
    ASSERT_EQ(symlink(c.target.c_str(), link.c_str()), 0);
    std::string out;
    EXPECT_EQ(Kestpack("extract " + Path("archive.arj") + " -C " + destination.path(), &out), 1)
        << c.name << "\n" << out;
    EXPECT_NE(out.find(link + ": a symbolic link"), std::string::npos) << c.name << "\n" << out;
    Bytes got;
    ASSERT_TRUE(ReadFile(outside_file, &got));
    EXPECT_TRUE(got == kOld) << c.name << ": the file outside was written";
    struct stat st;
    EXPECT_NE(stat((outside_folder + "/b.txt").c_str(), &st), 0)
        << c.name << ": a file was made outside";
  }
  // The destination itself may be a link the user chose; a hard link in it
  // is replaced by the new file, not written through.
  ASSERT_EQ(mkdir(Path("real").c_str(), 0755), 0);
  ASSERT_EQ(symlink(Path("real").c_str(), Path("chosen").c_str()), 0);
  ASSERT_EQ(link(outside_file.c_str(), Path("real/a.txt").c_str()), 0);
  std::string out;
  EXPECT_EQ(Kestpack("extract " + Path("archive.arj") + " -C " + Path("chosen"), &out), 0) << out;
  Bytes got;
  ASSERT_TRUE(ReadFile(Path("real/a.txt"), &got));
  EXPECT_TRUE(got == kNew);
  ASSERT_TRUE(ReadFile(Path("real/sub/b.txt"), &got));
  EXPECT_TRUE(got == kNew);
  ASSERT_TRUE(ReadFile(outside_file, &got));
  EXPECT_TRUE(got == kOld) << "written through a hard link";
}

// A small archive that unpacks to far more than it holds, and entries that
// only add up to more: refused from their headers before anything is
// written (the destination is not even made), extracted once the limit is
// raised. The default is stated in --help.
TEST_F(KestpackPackage, ExtractWritesNoMoreThanItsLimit) {
  std::string out;
  ASSERT_EQ(RunCommand("cd " + dir_.path() +
                           " && head -c 4194304 /dev/zero > zeros.bin && arj a -m1 bomb.arj "
                           "zeros.bin && rm zeros.bin",
                       &out),
            0)
      << out;
  struct stat st;
  ASSERT_EQ(stat(Path("bomb.arj").c_str(), &st), 0);
  EXPECT_LT(st.st_size, 64 << 10);
  WriteFile(Path("two.arj"),
            StoredArchive({{"a.bin", Bytes(600 << 10, 'a')}, {"b.bin", Bytes(600 << 10, 'b')}}));
  struct {
    const char* name;
    const char* archive;
    const char* limit;
    const char* refusal;  // null: extracted
  } const kCases[] = {
      {"4 MiB from a small archive", "bomb.arj", "1M",
       "its entries would write 4194304 bytes, more than the limit of 1048576 bytes"},
      {"the same, limit raised", "bomb.arj", "4M", nullptr},
      {"two entries that add up to one byte more", "two.arj", "1228799",
       "its entries would write 1228800 bytes, more than the limit of 1228799 bytes"},
      {"exactly the limit, in bytes", "two.arj", "1228800", nullptr},
  };
  for (const auto& c : kCases) {
    TempDir parent;
    const std::string destination = parent.path() + "/out";
    const int status = Kestpack(
        "extract " + Path(c.archive) + " -C " + destination + " --max-output " + c.limit, &out);
    if (c.refusal == nullptr) {
      EXPECT_EQ(status, 0) << c.name << "\n" << out;
      continue;
    }
    EXPECT_EQ(status, 1) << c.name << "\n" << out;
    EXPECT_NE(out.find(c.refusal), std::string::npos) << c.name << "\n" << out;
    EXPECT_NE(stat(destination.c_str(), &st), 0) << c.name << ": the destination was made";
  }
  ASSERT_EQ(Kestpack("extract --help", &out), 0);
  EXPECT_NE(out.find("default 1G"), std::string::npos) << out;
  EXPECT_EQ(Kestpack("extract " + Path("two.arj") + " -C " + Path("out") + " --max-output 12X",
                     &out),
            2)
      << out;
}

// Behind the check of the headers, the files themselves never pass the
// limit: a write that would is refused whole (a last match may run past an
// entry's declared size).
TEST(ExtractFolder, WritesPastTheOutputLimitFail) {
  TempDir dir;
  ExtractFolder folder;
  std::string error;
  ASSERT_TRUE(folder.Open(dir.path(), &error)) << error;
  folder.set_output_limit(10);
  std::unique_ptr<OutputFile> first, second;
  ASSERT_EQ(folder.Create("a.bin", &first), 0u);
  ASSERT_EQ(folder.Create("b.bin", &second), 0u);
  EXPECT_EQ(first->Write("12345678", 8), 0u);
  EXPECT_FALSE(folder.output_limit_reached());
  EXPECT_EQ(second->Write("123", 3), uint32_t(EFBIG));
  EXPECT_TRUE(folder.output_limit_reached());
  EXPECT_EQ(second->Write("12", 2), 0u);  // what is left still fits
  first->Close();
  second->Close();
  Bytes written;
  ASSERT_TRUE(ReadFile(dir.path() + "/b.bin", &written));
  EXPECT_TRUE(written == (Bytes{'1', '2'}));
}

TEST_F(KestpackPackage, ExtractSaysWhatWentWrongAndWhere) {
  WriteFile(Path("archive.arj"), StoredArchive({{"a.txt", Bytes{'a'}}, {"sub/b.txt", Bytes{'b'}}}));
  struct {
    const char* name;
    bool folder;       // what is in the way: a folder, else a file
    const char* at;
    const char* says;  // after "DESTINATION/at: "
  } const kCases[] = {
      {"a folder where a file goes", true, "a.txt", "is a folder"},
      {"a file where a folder goes", false, "sub", "not a folder"},
  };
  for (const auto& c : kCases) {
    TempDir destination;
    const std::string in_the_way = destination.path() + "/" + c.at;
    if (c.folder) {
      ASSERT_EQ(mkdir(in_the_way.c_str(), 0755), 0);
    } else {
      WriteFile(in_the_way, Bytes{'x'});
    }
    std::string out;
    EXPECT_EQ(Kestpack("extract " + Path("archive.arj") + " -C " + destination.path(), &out), 1)
        << c.name << "\n" << out;
    EXPECT_NE(out.find(in_the_way + ": " + c.says), std::string::npos) << c.name << "\n" << out;
  }
}

TEST_F(KestpackPackage, ExtractMakesFolderEntriesAndRefusesASecondEntryForAFile) {
  // Debian's arj with -a1 stores folders as entries of their own (file type
  // 3), after the files in them.
  std::string out;
  const std::string tree = Path("tree");
  ASSERT_EQ(RunCommand("mkdir -p " + tree + "/sub/empty && echo hello > " + tree + "/sub/x.txt",
                       &out), 0) << out;
  ASSERT_EQ(RunCommand("cd " + tree + " && arj a -r -a1 " + Path("folders.arj") + " '*'", &out),
            0)
      << out;
  ASSERT_EQ(Kestpack("extract " + Path("folders.arj") + " -C " + Path("folders"), &out), 0)
      << out;
  Bytes got;
  ASSERT_TRUE(ReadFile(Path("folders/sub/x.txt"), &got));
  EXPECT_EQ(std::string(got.begin(), got.end()), "hello\n");
  struct stat st;
  ASSERT_EQ(lstat(Path("folders/sub/empty").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));

  // a.txt and A.TXT are one file to the installer: the first one stays and
  // the second is reported.
  WriteFile(Path("twice.arj"), StoredArchive({{"a.txt", Bytes{'1'}}, {"A.TXT", Bytes{'2'}}}));
  EXPECT_EQ(Kestpack("extract " + Path("twice.arj") + " -C " + Path("twice"), &out), 1) << out;
  EXPECT_NE(out.find("second entry"), std::string::npos) << out;
  ASSERT_TRUE(ReadFile(Path("twice/a.txt"), &got));
  EXPECT_TRUE(got == Bytes{'1'});
}

TEST_F(KestpackPackage, TimesOfArchivesMadeOnUnixAreSecondsSince1970) {
  // Debian's arj writes host Unix and the time as seconds since 1970, UTC;
  // an odd second, which no MS-DOS time can hold, shows it is read exactly.
  const int64_t kMoment = 1580702707;  // 2020-02-03 04:05:07 UTC
  std::string out;
  ASSERT_EQ(mkdir(Path("unix").c_str(), 0755), 0);
  WriteFile(Path("unix/a.txt"), Bytes{'a'});
  SetMtime(Path("unix/a.txt"), kMoment);
  ASSERT_EQ(RunCommand("cd " + Path("unix") + " && arj a " + Path("unix.arj") + " a.txt", &out), 0)
      << out;
  ASSERT_EQ(Kestpack("list " + Path("unix.arj"), &out), 0) << out;
  EXPECT_NE(out.find("2020-02-03 04:05:07 UTC"), std::string::npos) << out;
  ASSERT_EQ(Kestpack("extract " + Path("unix.arj") + " -C " + Path("unix-out"), &out), 0) << out;
  struct stat st;
  ASSERT_EQ(stat(Path("unix-out/a.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, kMoment);
}

TEST_F(KestpackPackage, ControlCharactersReachTheTerminalEscaped) {
  // An entry name and a manifest text meant to retitle the terminal, clear
  // it and move the cursor.
  const std::string manifest = "[Component1]\r\nName=\x1b[2J\r\n";
  WriteFile(Path("hostile.arj"),
            StoredArchive({{"cpack.ini", Bytes(manifest.begin(), manifest.end())},
                           {"\x1b]0;owned\x07x\r.txt", Bytes{'x'}}}));
  std::string out;
  ASSERT_EQ(Kestpack("list " + Path("hostile.arj"), &out), 0) << out;
  EXPECT_NE(out.find("\\x1B]0;owned\\x07x\\x0D.txt"), std::string::npos) << out;
  EXPECT_NE(out.find("\"\\x1B[2J\""), std::string::npos) << out;
  EXPECT_EQ(out.find_first_of("\x1b\x07\r"), std::string::npos) << out;
  EXPECT_EQ(Kestpack("extract " + Path("hostile.arj") + " -C " + Path("hostile"), &out), 1);
  EXPECT_NE(out.find("\\x1B]0;owned\\x07x\\x0D.txt"), std::string::npos) << out;
  EXPECT_EQ(out.find_first_of("\x1b\x07\r"), std::string::npos) << out;
}

TEST_F(KestpackPackage, InputsThatAreNotRegularFilesAreRefused) {
  // A FIFO blocks whoever opens it for reading until a writer comes; no
  // writer ever comes here, and timeout ends a kestpack that waits.
  const std::string fifo = Path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  auto replaced = [](std::string args, const std::string& from, const std::string& to) {
    return args.replace(args.find(from), from.size(), to);
  };
  const std::string build = BuildArgs(dir_.path(), Path("out.exe"), false);
  const std::string kCases[] = {
      "list " + fifo,
      "verify " + fifo,
      "extract " + fifo + " -C " + Path("out"),
      "verify " + Path("setup.exe") + " --public-key " + fifo,
      replaced(build, Fixture("tiny_stub.exe"), fifo),
      replaced(build, SourcePath("tests/keys/test-signing-key.pem"), fifo),
      replaced(build, Path("CPACK.INF"), fifo),
  };
  for (const std::string& args : kCases) {
    std::string out;
    EXPECT_EQ(RunCommand(std::string("timeout 60 ") + KESTPACK_EXE + " " + args, &out), 1)
        << args << "\n" << out;
    EXPECT_NE(out.find(fifo + ": not a regular file"), std::string::npos) << args << "\n" << out;
  }
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
  args.replace(args.find(SourcePath("tests/keys/test-signing-key.der")),
               SourcePath("tests/keys/test-signing-key.der").size(), Path("vendor.der"));
  ASSERT_EQ(Kestpack(args, &out), 0) << out;
  EXPECT_EQ(Kestpack("verify " + Path("vendor.exe") + " --public-key " + Path("vendor.der"), &out),
            0)
      << out;
  EXPECT_EQ(Kestpack("verify " + Path("vendor.exe") + " --public-key " +
                         SourcePath("tests/keys/test-signing-key.der"), &out),
            1)
      << "test key accepted";
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

// The second record: built with the modern key, named by verify and list,
// refused in every byte, and required by a stub whose flag says so.
TEST_F(KestpackPackage, SecondRecordIsBuiltCheckedAndListed) {
  const std::string modern_pem = SourcePath("tests/keys/test-modern-key.pem");
  const std::string modern_der = SourcePath("tests/keys/test-modern-key.der");
  const std::string with_modern =
      " --modern-key " + modern_pem + " --modern-public-key " + modern_der;
  std::string out;
  ASSERT_EQ(Kestpack(BuildArgs(dir_.path(), Path("modern.exe"), false) + with_modern, &out), 0)
      << out;
  Bytes modern;
  ASSERT_TRUE(ReadFile(Path("modern.exe"), &modern));
  const size_t end = parts_.archive_offset + parts_.archive_length;
  ASSERT_EQ(modern.size(), end + kSignatureRecordBytes + kModernRecordBytes);
  EXPECT_TRUE(std::equal(modern.begin() + end, modern.begin() + end + 8, "RuvxSig"));
  EXPECT_TRUE(std::equal(modern.end() - 8, modern.end(), kModernMagic));

  // OpenSSL agrees: the signature is sha256WithRSAEncryption of the signed
  // bytes followed by the first record.
  const size_t second = end + kSignatureRecordBytes;
  WriteFile(Path("covered.bin"), Bytes(modern.begin(), modern.begin() + second));
  WriteFile(Path("second.sig"), Bytes(modern.begin() + second + kModernSignatureOffset,
                                      modern.begin() + second + kModernEndOffset));
  EXPECT_EQ(RunCommand("openssl dgst -sha256 -verify " + modern_der + " -keyform DER -signature " +
                           Path("second.sig") + " " + Path("covered.bin"),
                       &out),
            0)
      << out;

  struct {
    const char* name;
    std::string args;
    int status;
    std::vector<std::string> lines;
  } const kRuns[] = {
      {"verify with both records", "verify " + Path("modern.exe"), 0,
       {"signature OK (signer \"Morvane Development\"",
        "second signature OK (RSA-3072 SHA-256, bytes 0 to " + std::to_string(end - 1) +
            " and the first record, the installer's own modern key, the repository's modern "
            "TEST key)"}},
      {"list with both records", "list " + Path("modern.exe"), 0,
       {"signature records: first (RSA-768, MD5), second (RSA-3072, SHA-256)"}},
      {"list with the first record alone", "list " + Path("setup.exe"), 0,
       {"signature records: first (RSA-768, MD5); no second record"}},
      {"verify by an installer without a modern key", "verify " + Path("setup.exe"), 0,
       {"second signature not checked: the installer holds no modern key"}},
      {"verify with the modern key given, record absent",
       "verify " + Path("setup.exe") + " --modern-public-key " + modern_der, 0,
       {"no second signature record (the installer does not require one"}},
      {"verify with a modern key of the wrong size",
       "verify " + Path("modern.exe") + " --modern-public-key " +
           SourcePath("tests/keys/test-signing-key.der"),
       1, {"not a 422-byte DER RSA public key with a 3072-bit modulus"}},
  };
  for (const auto& r : kRuns) {
    EXPECT_EQ(Kestpack(r.args, &out), r.status) << r.name << "\n" << out;
    for (const std::string& line : r.lines) {
      EXPECT_NE(out.find(line), std::string::npos) << r.name << ": " << line << "\n" << out;
    }
  }

  // A vendor's modern pair: 422 bytes of DER; the package does not verify
  // under it, and verify says which record failed and under which key.
  ASSERT_EQ(Kestpack("keygen --modern " + Path("vendor-modern"), &out), 0) << out;
  struct stat st;
  ASSERT_EQ(stat(Path("vendor-modern.der").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 422);
  ASSERT_EQ(RunCommand("openssl dgst -sha256 -c " + Path("vendor-modern.der"), &out), 0) << out;
  const std::string fingerprint = out.substr(out.find("= ") + 2, 95);
  EXPECT_EQ(Kestpack("verify " + Path("modern.exe") + " --modern-public-key " +
                         Path("vendor-modern.der"),
                     &out),
            1);
  for (const std::string& line :
       {std::string("first signature OK"),
        "FAILED: second signature does not match the package bytes and the first record under "
        "the public key in " + Path("vendor-modern.der") + ", the key with SHA-256 fingerprint " +
            fingerprint}) {
    EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
  }

  // Every byte of the second record changed, one at a time: refused.
  for (size_t at = second; at < modern.size(); ++at) {
    Bytes variant = modern;
    variant[at] ^= 0x5A;
    EXPECT_EQ(VerifyBytes(variant), 1) << "second record byte " << at - second;
  }
  EXPECT_EQ(VerifyBytes(Bytes(modern.begin(), modern.end() - 1)), 1) << "record cut short";
  EXPECT_EQ(VerifyBytes(Bytes(modern.begin(), modern.begin() + second)), 0)
      << "record absent, not required";
}

TEST_F(KestpackPackage, AStubThatRequiresTheSecondRecordGetsIt) {
  // The tiny stub with its required flag set, as -DKEST_MODERN_REQUIRED=ON
  // builds it.
  Bytes stub;
  ASSERT_TRUE(ReadFile(Fixture("tiny_stub.exe"), &stub));
  const size_t slot = FindModernKeySlot(stub.data(), stub.size());
  ASSERT_LT(slot, stub.size());
  stub[slot + kModernSlotRequiredField] = 1;
  WriteFile(Path("required-stub.exe"), stub);
  std::string args = BuildArgs(dir_.path(), Path("required.exe"), false);
  args.replace(args.find(Fixture("tiny_stub.exe")), Fixture("tiny_stub.exe").size(),
               Path("required-stub.exe"));
  std::string out;
  EXPECT_EQ(Kestpack(args, &out), 1) << out;
  EXPECT_NE(out.find("the stub requires the second signature record"), std::string::npos) << out;
  EXPECT_NE(out.find("0x8040F001"), std::string::npos) << out;
  EXPECT_EQ(access(Path("required.exe").c_str(), F_OK), -1) << "written anyway";

  ASSERT_EQ(Kestpack(args + " --modern-key " + SourcePath("tests/keys/test-modern-key.pem") +
                         " --modern-public-key " + SourcePath("tests/keys/test-modern-key.der"),
                     &out),
            0)
      << out;
  Bytes built;
  ASSERT_TRUE(ReadFile(Path("required.exe"), &built));
  EXPECT_EQ(VerifyBytes(built), 0);
  Bytes without(built.begin(), built.end() - kModernRecordBytes);
  EXPECT_EQ(VerifyBytes(without), 1) << "second record missing";
  WriteFile(Path("without.exe"), without);
  EXPECT_EQ(Kestpack("verify " + Path("without.exe"), &out), 1);
  EXPECT_NE(out.find("FAILED: no second signature record, and the installer requires one"),
            std::string::npos)
      << out;

  // build --modern-required sets the same flag in a stub that lacks it.
  ASSERT_EQ(Kestpack(BuildArgs(dir_.path(), Path("flagged.exe"), false) + " --modern-required" +
                         " --modern-key " + SourcePath("tests/keys/test-modern-key.pem") +
                         " --modern-public-key " + SourcePath("tests/keys/test-modern-key.der"),
                     &out),
            0)
      << out;
  ASSERT_TRUE(ReadFile(Path("flagged.exe"), &built));
  EXPECT_EQ(built[FindModernKeySlot(built.data(), built.size()) + kModernSlotRequiredField], 1);
  EXPECT_EQ(VerifyBytes(built), 0);
  EXPECT_EQ(VerifyBytes(Bytes(built.begin(), built.end() - kModernRecordBytes)), 1);
}

}  // namespace
}  // namespace test
}  // namespace kest
