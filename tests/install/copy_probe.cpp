// Runs a piece of the file copy in a process of its own, so that the test
// can choose the Windows version it sees (Wine's AppDefaults apply to a
// program by name when it starts):
//
//   copy_probe queue REPLACEMENT TARGET
//       QueueReplaceAtRestart(REPLACEMENT, TARGET).
//   copy_probe delete PATH...
//       QueueDeletionAtRestart(PATH) for each PATH in turn.
//   copy_probe copy ARCHIVE DESTINATION REPORT [--signed] [--silent] [--choices=C,C...]
//                   [--scanner=created|written] [--again] [--progress=SEMAPHORE]
//                   [--register]
//       CopyPackageFiles over the bare archive ARCHIVE, from its first
//       entry, with DESTINATION as the current directory and the install
//       log in it. With --signed, ARCHIVE is a signed package (an archive
//       and its signature record, no image) opened as the installer opens
//       its own: the signature is checked with the key built into this
//       build first. Error dialogs are not shown: each report takes the next
//       of the scripted choices (0 when they run out); --silent runs at UI
//       level 0, where no report asks at all. --scanner plays an on-access
//       scanner: each temporary file (".tmp") the extraction writes is
//       opened for reading, sharing read access only, the moment it is
//       created (created) or written and closed (written), and held until
//       the next report asks the user (the scan is then over). --again
//       runs the pass a second time after a failed first, from the entry
//       it started on, as Try Again on the destination page does, keeping
//       the installed-files list. --progress releases the named semaphore
//       each time the pass shows a file it is about to write, so that a
//       test can follow it (and end it where it likes). --register runs
//       the registration pass after a successful copy. REPORT receives:
//         result 0|1
//         options 0x<options word>
//         installed <name>            one per installed-files entry
//         dialog 0x<code> <detail>    one per report that asked
//
// The exit code is the install code pending at the end (0 on success).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/package_reader.h"
#include "archive/win32_file_source.h"
#include "archive/win32_output_files.h"
#include "base/host_status_platform.h"
#include "base/install_codes.h"
#include "base/install_options.h"
#include "base/install_status.h"
#include "base/win32_log_backend.h"
#include "install/copy_pass_win32.h"
#include "install/installer_context_win32.h"
#include "install/reader_error.h"
#include "install/restart_replacement_win32.h"
#include "install/self_registration_win32.h"
#include "verify/signed_package_reader.h"

namespace kest {
namespace {

// The output files of the extraction, with a scanner looking at the
// temporary ones.
class ScannedFileSystem : public OutputFileSystem {
 public:
  enum class Scan { kNone, kCreated, kWritten };
  explicit ScannedFileSystem(Scan scan) : scan_(scan) {}
  ~ScannedFileSystem() override { Release(); }

  uint32_t Create(const char* path, std::unique_ptr<OutputFile>* file) override {
    if (scan_ == Scan::kCreated && IsTemporary(path)) Hold(path);
    std::unique_ptr<OutputFile> created;
    const uint32_t error = real_.Create(path, &created);
    if (error != 0) return error;
    if (scan_ == Scan::kWritten && IsTemporary(path)) {
      file->reset(new Scanned(std::move(created), path, *this));
    } else {
      *file = std::move(created);
    }
    return 0;
  }
  uint32_t Delete(const char* path) override { return real_.Delete(path); }
  void Release() {
    for (HANDLE held : held_) CloseHandle(held);
    held_.clear();
  }

 private:
  class Scanned : public OutputFile {
   public:
    Scanned(std::unique_ptr<OutputFile> file, const char* path, ScannedFileSystem& scanner)
        : file_(std::move(file)), path_(path), scanner_(scanner) {}
    uint32_t Write(const void* data, uint32_t size) override { return file_->Write(data, size); }
    uint32_t SetDosTime(uint32_t dos_time) override { return file_->SetDosTime(dos_time); }
    void Close() override {
      file_->Close();
      scanner_.Hold(path_.c_str());
    }

   private:
    std::unique_ptr<OutputFile> file_;
    std::string path_;
    ScannedFileSystem& scanner_;
  };

  static bool IsTemporary(const char* path) {
    const size_t length = strlen(path);
    return length > 4 && _stricmp(path + length - 4, ".tmp") == 0;
  }
  void Hold(const char* path) {
    HANDLE held = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held != INVALID_HANDLE_VALUE) held_.push_back(held);
  }

  Scan scan_;
  Win32FileSystem real_;
  std::vector<HANDLE> held_;
};

// Scripted answers; the scanner lets go before each.
class ProbePlatform : public RecordingStatusPlatform {
 public:
  uint32_t ShowErrorDialog(InstallStatus& status) override {
    if (scanner != nullptr) scanner->Release();
    return RecordingStatusPlatform::ShowErrorDialog(status);
  }
  ScannedFileSystem* scanner = nullptr;
};

class ProbeProgress : public Progress {
 public:
  explicit ProbeProgress(HANDLE semaphore) : semaphore_(semaphore) {}
  void ShowProgressText(const char*) override {
    if (semaphore_ != nullptr) ReleaseSemaphore(semaphore_, 1, nullptr);
  }
  void PumpMessages() override {}

 private:
  HANDLE semaphore_;
};

int Copy(int argc, char** argv, ProbePlatform& platform) {
  const char* archive = argv[2];
  const char* destination = argv[3];
  const char* report_path = argv[4];
  bool signed_package = false, again = false, registration = false;
  HANDLE semaphore = nullptr;
  ScannedFileSystem::Scan scan = ScannedFileSystem::Scan::kNone;
  for (int i = 5; i < argc; ++i) {
    if (strcmp(argv[i], "--signed") == 0) signed_package = true;
    if (strcmp(argv[i], "--again") == 0) again = true;
    if (strcmp(argv[i], "--register") == 0) registration = true;
    if (strncmp(argv[i], "--progress=", 11) == 0) {
      semaphore = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, argv[i] + 11);
    }
    if (strcmp(argv[i], "--scanner=created") == 0) scan = ScannedFileSystem::Scan::kCreated;
    if (strcmp(argv[i], "--scanner=written") == 0) scan = ScannedFileSystem::Scan::kWritten;
    if (strcmp(argv[i], "--silent") == 0) Status().ui_level = 0;
    if (strncmp(argv[i], "--choices=", 10) == 0) {
      for (char* p = argv[i] + 10; *p != '\0';) {
        platform.choices.push_back(strtoul(p, &p, 10));
        if (*p == ',') ++p;
      }
    }
  }
  Win32LogBackend log;
  Status().log.SetBackend(&log);
  Status().log.SetLogging(destination, kOptionLogBit);
  SetCurrentDirectoryA(destination);

  Win32File file;
  if (OpenFileForReading(archive, FILE_FLAG_RANDOM_ACCESS, &file) != 0) return 2;
  ScannedFileSystem output(scan);
  platform.scanner = &output;
  std::unique_ptr<PackageReader> reader;
  if (signed_package) {
    reader.reset(new SignedPackageReader(new Win32FileSource(std::move(file)), true, output));
  } else {
    reader.reset(new BareArchiveReader(new Win32FileSource(std::move(file)), true, output));
  }
  if (!reader->Open()) {
    ReportReaderError(reader->GetError(), archive, kButtonsExitOnly);
    return static_cast<int>(Status().install_code);
  }
  InstallerContextPtr context(CreateInstallerContext(""));
  StringList installed, created;
  ProbeProgress progress(semaphore);
  uint32_t options = kOptionLogBit;
  HeldFiles held;
  const CopyPassParts parts = {&options, destination, "", &installed, &created,
                               context.get(), &progress, &held};
  const uint32_t first_entry = reader->entry_start();
  bool result = CopyPackageFiles(*reader, parts);
  if (!result && again) {
    ResetStatus();
    reader->ReturnToEntry(first_entry);
    result = CopyPackageFiles(*reader, parts);
  }
  if (result && registration) RegisterInstalledFiles(options, installed, *context, progress, &held);
  Status().log.SetLogging(nullptr, 0);

  FILE* report = fopen(report_path, "wb");
  if (report == nullptr) return 2;
  fprintf(report, "result %d\noptions 0x%08X\n", result ? 1 : 0, options);
  for (const StringList::Node* n = installed.head(); n != nullptr; n = n->next)
    fprintf(report, "installed %s\n", n->text);
  for (const RecordingStatusPlatform::Shown& shown : platform.shown)
    fprintf(report, "dialog 0x%08X %s\n", shown.code, shown.detail.c_str());
  fclose(report);
  return static_cast<int>(Status().install_code);
}

}  // namespace
}  // namespace kest

int main(int argc, char** argv) {
  kest::ProbePlatform platform;
  if (argc == 4 && strcmp(argv[1], "queue") == 0) {
    kest::QueueReplaceAtRestart(argv[2], argv[3]);
    return static_cast<int>(kest::Status().install_code);
  }
  if (argc >= 3 && strcmp(argv[1], "delete") == 0) {
    for (int i = 2; i < argc; ++i) kest::QueueDeletionAtRestart(argv[i]);
    return 0;
  }
  if (argc >= 5 && strcmp(argv[1], "copy") == 0) return kest::Copy(argc, argv, platform);
  return 2;
}
