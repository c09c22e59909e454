#include "tests/kestpack/kestpack_test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "packaging/archive_writer.h"
#include "verify/archive_offset_slot.h"
#include "verify/public_key_slot.h"

namespace kest {
namespace test {
namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

void MakeParents(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    mkdir(path.substr(0, slash).c_str(), 0755);
  }
}

}  // namespace

std::vector<SampleFile> SamplePackFiles() {
  Bytes dll;
  ReadFile(Fixture("versioned.dll"), &dll);
  const std::string ini = "[Component1]\r\nName=Morvane Development\r\nVersion=1.1\r\n";
  const std::string inf = "[Dependencies]\r\nDefault=C:\\Morvane Components\\\r\n";
  return {
      {"CPACK.INI", Bytes(ini.begin(), ini.end()), 854140757},
      {"CPACK.INF", Bytes(inf.begin(), inf.end()), 854140758},
      {"pack/ReadMe.TXT", MakeInput(InputKind::kText, 40000, 1), 1700000001},
      {"pack/help/grid.txt", MakeInput(InputKind::kPhrases, 70000, 2), 1700000002},
      {"pack/help/deep/empty.txt", {}, 1700000003},
      {"pack/_winsys/tiny.dll", dll, 1700000004},
      {"pack/data/random.bin", MakeInput(InputKind::kRandom, 30000, 3), 1700000005},
      {"pack/data/runs.bin", MakeInput(InputKind::kRuns, 100000, 4), 1700000006},
  };
}

void SetMtime(const std::string& path, int64_t seconds) {
  struct timespec times[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

void WritePack(const std::string& root, const std::vector<SampleFile>& files) {
  for (const SampleFile& f : files) {
    std::string path = root + "/" + f.name;
    MakeParents(path);
    WriteFile(path, f.data);
    SetMtime(path, f.mtime);
  }
}

int Kestpack(const std::string& args, std::string* output) {
  std::string ignored;
  return RunCommand(std::string(KESTPACK_EXE) + " " + args + " 2>&1", output ? output : &ignored);
}

std::string BuildArgs(const std::string& root, const std::string& out, bool archive_only) {
  std::string args = "build -o " + out + " --components " + root + "/CPACK.INI --dependencies " +
                     root + "/CPACK.INF ";
  if (archive_only) return args + "--archive-only " + root + "/pack";
  return args + "--stub " + Fixture("tiny_stub.exe") + " --key " +
         SourcePath("tests/keys/test-signing-key.pem") + " --public-key " +
         SourcePath("tests/keys/test-signing-key.der") + " " + root + "/pack";
}

Bytes StoredArchive(const std::vector<std::pair<std::string, Bytes>>& entries) {
  const uint32_t kDosTime = 0x22388269;  // 1997-01-24 16:19:18
  MemorySink sink;
  ArchiveWriter writer(sink);
  EXPECT_EQ(writer.Begin("TEST.ARJ", kDosTime), 0u);
  for (const auto& e : entries) {
    EntryInfo info = {e.first.c_str(), kDosTime, 0, {0, 0, 0, 0}};
    EXPECT_EQ(writer.AddEntry(info, e.second.data(), uint32_t(e.second.size()), 0), 0u) << e.first;
  }
  EXPECT_EQ(writer.Finish(), 0u);
  return sink.bytes;
}

std::string Fixture(const std::string& name) { return std::string(KEST_FIXTURES) + "/" + name; }
bool WriteStubWithKey(const std::string& path, const std::string& der_path) {
  Bytes stub, der;
  if (!ReadFile(Fixture("tiny_stub.exe"), &stub) || !ReadFile(der_path, &der) ||
      der.size() != kPublicKeyDerBytes) {
    return false;
  }
  size_t slot = FindPublicKeySlot(stub.data(), stub.size());
  if (slot == stub.size()) return false;
  std::copy(der.begin(), der.end(), stub.begin() + slot + kKeySlotKeyField);
  WriteFile(path, stub);
  return true;
}

std::string SourcePath(const std::string& relative) {
  return std::string(KEST_SOURCE_DIR) + "/" + relative;
}

bool SplitInstaller(const Bytes& file, InstallerParts* parts) {
  size_t slot = FindArchiveOffsetSlot(file.data(), file.size());
  if (slot == file.size()) return false;
  parts->archive_offset = Le32(&file[slot + kSlotOffsetField]);
  // Main header: id, B, B bytes, CRC, extension size (24), then "Qel1" and
  // the value at +20.
  size_t a = parts->archive_offset;
  if (a + 4 > file.size()) return false;
  size_t extension = a + 4 + (file[a + 2] | file[a + 3] << 8) + 4 + 2;
  if (extension + 24 > file.size() || memcmp(&file[extension], "Qel1", 4) != 0) return false;
  parts->archive_length = Le32(&file[extension + 20]);
  return true;
}

}  // namespace test
}  // namespace kest
