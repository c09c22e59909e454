#include "installer/manifest_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "archive/memory_source.h"
#include "archive/package_reader.h"
#include "archive/reader_codes.h"
#include "base/host_status_platform.h"
#include "base/install_codes.h"
#include "installer/install_record.h"
#include "base/install_status.h"
#include "tests/manifest/manifest_test_support.h"

namespace kest {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

class ManifestReader : public testing::Test {
 protected:
  void Open(const Entries& entries) {
    archive_ = BuildArchive(entries);
    OpenArchive(archive_, &record_);
  }
  std::string Current() const { return record_.reader->GetEntryName(); }

  RecordingStatusPlatform platform_;
  std::vector<uint8_t> archive_;
  InstallRecord record_;
};

TEST_F(ManifestReader, ShippedPackage) {
  Open({{"CPACK.INI", ShippedComponentManifest()},
        {"CPACK.INF", ShippedDependencyManifest()},
        {"RUNTIME/X.DLL", "MZ"}});
  EXPECT_STREQ(record_.destination, "c:\\Morvane Components\\");

  EXPECT_TRUE(ReadComponentManifest(&record_));
  EXPECT_EQ(Current(), "cpack.inf");
  EXPECT_TRUE(ReadDependencyManifest(&record_));
  EXPECT_EQ(Current(), "runtime\\x.dll");

  ASSERT_NE(record_.components, nullptr);
  EXPECT_EQ(
      Render(*record_.components),
      "header<[Component1]> name<Morvane Development> product<Morvane Components Starter Pack> "
      "version<1.1> copyright<None>");
  EXPECT_EQ(record_.components->next, nullptr);
  EXPECT_EQ(Texts(record_.obsolete_files.get()), ShippedObsoleteFiles());
  ASSERT_NE(record_.dependencies, nullptr);
  EXPECT_EQ(Render(*record_.dependencies),
            "header<[Dependencies]> key<Software\\Morvane\\Morvane Components\\1.0> "
            "default<C:\\Morvane Components\\> value<LocalInstallPath>");
  EXPECT_EQ(record_.has_dependencies, 1u);
  EXPECT_STREQ(record_.destination, "C:\\Morvane Components\\");
  EXPECT_NE(record_.component_text, nullptr);
  EXPECT_NE(record_.dependency_text, nullptr);
  EXPECT_TRUE(platform_.shown.empty());
}

TEST_F(ManifestReader, EntriesThatAreNotManifestsStayCurrent) {
  struct Case {
    const char* name;
    Entries entries;
    bool component, dependency;
    const char* left_current;
  } cases[] = {
      {"no manifests", {{"A.TXT", "[Dependency]\r\n"}, {"B.TXT", "b"}}, false, false, "a.txt"},
      {"only the dependency manifest",
       {{"CPACK.INF", "[Dependencies]\r\nDefault=D:\\\r\n"}, {"B", "b"}},
       false,
       true,
       "b"},
      {"a byte-order mark before the signature",
       {{"CPACK.INI", "\xEF\xBB\xBF[Component1]\r\n"}, {"B", "b"}},
       false,
       false,
       "cpack.ini"},
      {"a blank before the dependency signature",
       {{"CPACK.INI", "[Component1]\r\n"}, {"CPACK.INF", " [Dependencies]\r\n"}},
       true,
       false,
       "cpack.inf"},
      {"an empty entry", {{"EMPTY", ""}, {"B", "b"}}, false, false, "empty"},
      {"a manifest as the last entry", {{"CPACK.INI", "[Component1]"}}, true, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InstallRecord record;
    std::vector<uint8_t> archive = BuildArchive(c.entries);
    OpenArchive(archive, &record);
    EXPECT_EQ(ReadComponentManifest(&record), c.component);
    EXPECT_EQ(ReadDependencyManifest(&record), c.dependency);
    EXPECT_STREQ(record.reader->GetEntryName(), c.left_current);
    EXPECT_EQ(record.components != nullptr, c.component);
    EXPECT_EQ(record.dependencies != nullptr, c.dependency);
  }
  EXPECT_TRUE(platform_.shown.empty());
}

TEST_F(ManifestReader, BadLinesAreReportedWithTheLineAsDetail) {
  Open({{"CPACK.INI", "[Component1]\r\nName=\r\n\tColour=red \r\nProduct=P\r\n"},
        {"CPACK.INF", "[Dependencies]\r\nDefault\r\nDefault=C:\\Y\\\r\n"}});

  EXPECT_TRUE(ReadComponentManifest(&record_));
  // The component reader leaves the last report pending.
  EXPECT_EQ(Status().install_code, kCodeInvalidInstallFiles);
  EXPECT_TRUE(ReadDependencyManifest(&record_));
  EXPECT_EQ(Status().install_code, 0u);  // cleared at the end

  ASSERT_EQ(platform_.shown.size(), 3u);
  const char* details[] = {"Dependency:   Name=", "Dependency:   Colour=red ",
                           "Dependency:   Default"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(platform_.shown[i].code, kCodeInvalidInstallFiles);
    EXPECT_EQ(platform_.shown[i].buttons, kButtonsExitOnly);
    EXPECT_EQ(platform_.shown[i].detail, details[i]);
  }
  EXPECT_EQ(Render(*record_.components), "header<[Component1]> product<P>");
  EXPECT_STREQ(record_.destination, "C:\\Y\\");
}

// A disk with one unreadable stretch: every read that touches it fails as a
// bad sector does.
class BadSectorSource : public MemorySource {
 public:
  BadSectorSource(const std::vector<uint8_t>& bytes, uint32_t bad_from, uint32_t bad_to)
      : MemorySource(bytes.data(), static_cast<uint32_t>(bytes.size())),
        bad_from_(bad_from), bad_to_(bad_to) {}
  uint32_t Read(void* buffer, uint32_t size, uint32_t* read) override {
    uint32_t position = 0;
    Tell(&position);
    *read = 0;
    if (position < bad_to_ && position + size > bad_from_) return kDataError;
    return MemorySource::Read(buffer, size, read);
  }
  static constexpr uint32_t kDataError = 23;  // ERROR_CRC

 private:
  uint32_t bad_from_, bad_to_;
};

uint32_t Find(const std::vector<uint8_t>& bytes, const std::string& text) {
  auto at = std::search(bytes.begin(), bytes.end(), text.begin(), text.end());
  EXPECT_NE(at, bytes.end()) << text;
  return static_cast<uint32_t>(at - bytes.begin());
}

// Moving past a manifest can fail on the next header. That failure is
// reported and stays pending, so that the run cannot go on as if the
// package had ended; the normal end of the archive stays quiet.
TEST_F(ManifestReader, AFailedMoveAfterAManifestIsReported) {
  const Entries entries = {{"CPACK.INI", "[Component1]\r\nName=N\r\n"},
                           {"CPACK.INF", "[Dependencies]\r\nDefault=C:\\Y\\\r\n"},
                           {"RUNTIME/X.DLL", "MZ"}};
  std::vector<uint8_t> damaged_crc = BuildArchive(entries);
  damaged_crc[Find(damaged_crc, "RUNTIME/X.DLL")] ^= 0x20;
  const std::vector<uint8_t> intact = BuildArchive(entries);
  const uint32_t dependency_name = Find(intact, "CPACK.INF");

  struct Case {
    const char* name;
    std::unique_ptr<ByteSource> source;
    bool component, dependency;
    uint32_t pending;  // the reader's word, reported and left pending
  } cases[] = {
      {"a bad sector in the dependency manifest's header",
       std::make_unique<BadSectorSource>(intact, dependency_name, dependency_name + 4), true,
       false, kReaderReadError},
      {"a damaged header after the dependency manifest",
       std::make_unique<MemorySource>(damaged_crc.data(),
                                      static_cast<uint32_t>(damaged_crc.size())),
       true, true, kReaderBadCrc},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingStatusPlatform platform;
    InstallRecord record;
    OpenArchive(c.source.release(), &record);
    EXPECT_EQ(ReadComponentManifest(&record), c.component);
    EXPECT_EQ(ReadDependencyManifest(&record), c.dependency);
    EXPECT_EQ(Status().install_code, c.pending);
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].code, c.pending);
    EXPECT_EQ(platform.shown[0].buttons, kButtonsExitOnly);
    EXPECT_FALSE(record.reader->HasEntry());
  }
}

TEST_F(ManifestReader, DefaultFolderRule) {
  const std::string long_folder = "C:\\" + std::string(257, 'f');  // 260 characters
  struct Case {
    const char* name;
    std::string text;
    uint32_t options;
    const char* expected;
  } cases[] = {
      {"copied", "Default = C:\\X\\  ", 0, "C:\\X\\"},
      {"not over a folder from the command line", "Default=C:\\X\\", kStateFolderGiven,
       "D:\\Given"},
      {"blanks only: present but empty", "Default=   ", 0, "D:\\Given"},
      {"absent", "Registry=Software\\X:Path", 0, "D:\\Given"},
      {"too long for a folder: refused", "Default=" + long_folder, 0, "D:\\Given"},
      {"only the first dependency counts", "[Second]\r\nDefault=C:\\X\\", 0, "D:\\Given"},
      {"259 characters fit", "Default=" + long_folder.substr(1), 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InstallRecord record;
    strcpy(record.destination, "D:\\Given");
    record.options |= c.options;
    std::vector<uint8_t> archive =
        BuildArchive({{"CPACK.INF", "[Dependencies]\r\n" + c.text + "\r\n"}});
    OpenArchive(archive, &record);
    EXPECT_TRUE(ReadDependencyManifest(&record));
    EXPECT_EQ(std::string(record.destination), c.expected ? c.expected : long_folder.substr(1));
  }
}

}  // namespace
}  // namespace kest
