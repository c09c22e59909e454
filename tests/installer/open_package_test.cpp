// OpenPackage under Wine on packages signed with the repository's test key:
// the installer's file is opened once, and the signature is checked over
// that one handle; system errors of the open are reported as they are.
#include "installer/open_package.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "archive/win32_file.h"
#include "base/host_status_platform.h"
#include "base/install_codes.h"
#include "base/install_status.h"
#include "packaging/archive_writer.h"
#include "packaging/vector_sink.h"
#include "tests/install/test_key_signer.h"
#include "tests/support/win32_test_support.h"
#include "verify/signature_record.h"
#include "verify/win32_package_file_access.h"

namespace kest {
namespace {

// A bare archive of stored entries (name, contents).
std::string Archive(const std::vector<std::pair<const char*, std::string>>& entries) {
  std::vector<uint8_t> bytes;
  VectorSink sink(&bytes);
  ArchiveWriter writer(sink);
  uint32_t error = writer.Begin("CPACK.ARJ", 0x2231228F);
  for (const auto& e : entries) {
    EntryInfo info = {e.first, 0x2231228F, 0, {0, 0, 0, 0}};
    if (error == 0) {
      error = writer.AddEntry(info, reinterpret_cast<const uint8_t*>(e.second.data()),
                              uint32_t(e.second.size()), 0);
    }
  }
  if (error == 0) error = writer.Finish();
  if (error != 0) return "";
  const ArchiveLengthPatch patch = writer.LengthPatch();
  memcpy(bytes.data() + patch.offset, patch.bytes, sizeof(patch.bytes));
  return std::string(bytes.begin(), bytes.end());
}

// The installer's file as a path that names another real file at every
// open, as a folder switched between two files does.
class SwitchingFiles : public PackageFileAccess {
 public:
  SwitchingFiles(std::string path, std::vector<std::string> files)
      : path_(std::move(path)), files_(std::move(files)) {}
  uint32_t GetPackagePath(char* path, size_t size) override {
    if (path_error != 0) return path_error;
    if (path_.size() >= size) return ERROR_INSUFFICIENT_BUFFER;
    strcpy(path, path_.c_str());
    return 0;
  }
  uint32_t Open(const char* path, std::unique_ptr<ByteSource>* source) override {
    EXPECT_EQ(path_, path);
    const std::string& file = files_[opens_++ % files_.size()];
    return Win32PackageFileAccess().Open(file.c_str(), source);
  }
  int opens() const { return opens_; }
  uint32_t path_error = 0;

 private:
  std::string path_;
  std::vector<std::string> files_;
  int opens_ = 0;
};

class OpenPackageTest : public testing::Test {
 protected:
  void SetUp() override {
    signed_ = test::SignWithTestKey(Archive({{"CPACK.INI", "[Component1]\r\n"}, {"a.txt", "signed"}}));
    ASSERT_FALSE(signed_.empty()) << "the test key could not be read";
    // Another archive behind the signed package's signature record.
    std::string forged = Archive({{"CPACK.INI", "[Component1]\r\n"}, {"a.txt", "forged"}});
    forged += signed_.substr(signed_.size() - kSignatureRecordBytes);
    ASSERT_TRUE(test::WriteWholeFile(signed_path_, signed_));
    ASSERT_TRUE(test::WriteWholeFile(forged_path_, forged));
  }

  test::ScratchFolder scratch_;
  const std::string installer_ = scratch_.File("setup.exe");
  const std::string signed_path_ = scratch_.File("signed.exe");
  const std::string forged_path_ = scratch_.File("forged.exe");
  std::string signed_;
  RecordingStatusPlatform platform_;
};

// Whichever file the one open meets, its own bytes are checked: a forgery
// is refused as damaged, a signed package gives its own entries. A check
// that opened the path a second time would have read the other file.
TEST_F(OpenPackageTest, ChecksTheFileItOpenedOnce) {
  SwitchingFiles forgery_first(installer_, {forged_path_, signed_path_});
  EXPECT_EQ(OpenPackageFile(forgery_first, 0), nullptr);
  EXPECT_EQ(forgery_first.opens(), 1);
  ASSERT_EQ(platform_.shown.size(), 1u);
  EXPECT_EQ(platform_.shown[0].code, kCodeDamagedPackage);
  EXPECT_EQ(platform_.shown[0].buttons, kButtonsExitOnly);
  EXPECT_EQ(platform_.shown[0].detail, "File:   " + installer_);
  EXPECT_EQ(Status().install_code, kCodeDamagedPackage);

  ResetStatus();
  platform_.shown.clear();
  SwitchingFiles signed_first(installer_, {signed_path_, forged_path_});
  std::unique_ptr<PackageReader> reader = OpenPackageFile(signed_first, 0);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(signed_first.opens(), 1);
  EXPECT_TRUE(platform_.shown.empty());
  ASSERT_TRUE(reader->NextEntry());
  EXPECT_STREQ(reader->GetEntryName(), "a.txt");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(reader->GetEntryData()),
                        reader->GetEntryPackedSize()),
            "signed");
}

// The system's code, not the copy pass's "Cannot access file": the
// default row, exiting with the system error itself.
TEST_F(OpenPackageTest, ReportsSystemErrorsAsTheyAre) {
  Win32File holder(CreateFileA(signed_path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder.valid());
  platform_.system_messages[ERROR_SHARING_VIOLATION] = "The file is in use.";
  SwitchingFiles busy(installer_, {signed_path_});
  EXPECT_EQ(OpenPackageFile(busy, 0), nullptr);
  ASSERT_EQ(platform_.shown.size(), 1u);
  EXPECT_EQ(platform_.shown[0].code, uint32_t(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(platform_.shown[0].detail,
            "File:   " + installer_ + "\nError:   The file is in use.");
  EXPECT_EQ(Status().install_code, uint32_t(ERROR_SHARING_VIOLATION));
  holder.Close();

  ResetStatus();
  platform_.shown.clear();
  SwitchingFiles no_path(installer_, {signed_path_});
  no_path.path_error = ERROR_INSUFFICIENT_BUFFER;
  EXPECT_EQ(OpenPackageFile(no_path, 0), nullptr);
  EXPECT_EQ(no_path.opens(), 0);
  ASSERT_EQ(platform_.shown.size(), 1u);
  EXPECT_EQ(platform_.shown[0].code, uint32_t(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(Status().install_code, uint32_t(ERROR_INSUFFICIENT_BUFFER));
}

}  // namespace
}  // namespace kest
