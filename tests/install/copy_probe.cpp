// Runs a piece of the file copy in a process of its own, so that the test
// can choose the Windows version it sees (Wine's AppDefaults apply to a
// program by name when it starts):
//
//   copy_probe queue REPLACEMENT TARGET
//       QueueReplaceAtRestart(REPLACEMENT, TARGET).
//   copy_probe delete PATH...
//       QueueDeletionAtRestart(PATH) for each PATH in turn.
//   copy_probe copy ARCHIVE DESTINATION REPORT [--signed] [--silent] [--choices=C,C...]
//       CopyPackageFiles over the bare archive ARCHIVE, from its first
//       entry, with DESTINATION as the current directory and the install
//       log in it. With --signed, ARCHIVE is a signed package (an archive
//       and its signature record, no image) opened as the installer opens
//       its own: the signature is checked with the key built into this
//       build first. Error dialogs are not shown: each report takes the next
//       of the scripted choices (0 when they run out); --silent runs at UI
//       level 0, where no report asks at all. REPORT receives:
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
#include "install/restart_replacement_win32.h"
#include "verify/signed_package_reader.h"

namespace kest {
namespace {

class NoProgress : public Progress {
 public:
  void ShowProgressText(const char*) override {}
  void PumpMessages() override {}
};

int Copy(int argc, char** argv, RecordingStatusPlatform& platform) {
  const char* archive = argv[2];
  const char* destination = argv[3];
  const char* report_path = argv[4];
  bool signed_package = false;
  for (int i = 5; i < argc; ++i) {
    if (strcmp(argv[i], "--signed") == 0) signed_package = true;
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
  Status().log.SetLogging(destination, kOptionLog);
  SetCurrentDirectoryA(destination);

  Win32File file;
  if (OpenFileForReading(archive, FILE_FLAG_RANDOM_ACCESS, &file) != 0) return 2;
  Win32FileSystem output;
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
  NoProgress progress;
  uint32_t options = kOptionLog;
  const CopyPassParts parts = {&options, destination, "", &installed, &created,
                               context.get(), &progress};
  const bool result = CopyPackageFiles(*reader, parts);
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
  kest::RecordingStatusPlatform platform;
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
