#include "installer/open_package.h"

#include <windows.h>

#include <new>
#include <utility>

#include "archive/win32_file_source.h"
#include "archive/win32_output_files.h"
#include "base/error_table.h"
#include "base/install_codes.h"
#include "base/install_status.h"
#include "base/text_limits.h"
#include "resources/string_ids.h"
#include "verify/archive_offset_slot.h"
#include "verify/signed_package_reader.h"
#include "verify/win32_package_file_access.h"

namespace kest {
namespace {

// The slot, in initialised data. volatile: its value is read at run time,
// never folded from this initialiser; used: kept even if nothing seemed to
// read it, because kestpack looks for it by its markers.
__attribute__((used)) volatile ArchiveOffsetSlot g_archive_offset_slot = {
    {'S', 'i', 'z', 'e', '-', '>', ' ', '\0'}, 0, {' ', '<', '-', 'S', 'i', 'z', 'e', '\0'}};

// Stateless platform objects shared by every reader of the run.
Win32FileSystem g_output_files;
Win32PackageFileAccess g_package_files;

}  // namespace

uint32_t ArchiveOffset() { return g_archive_offset_slot.offset; }

std::unique_ptr<PackageReader> OpenPackage() {
  char path[kPathChars];
  uint32_t code = g_package_files.GetPackagePath(path, sizeof path);
  if (code != 0) {
    ReportError(MapSystemError(code), kButtonsExitOnly, nullptr, 0);
    return nullptr;
  }
  Win32File file;
  code = OpenFileForReading(path, FILE_FLAG_RANDOM_ACCESS, &file);
  if (code == 0) code = SeekFile(file.get(), ArchiveOffset());
  if (code != 0) {
    ReportError(MapSystemError(code), kButtonsExitOnly, path, IDS_LABEL_FILE);
    return nullptr;
  }

  std::unique_ptr<Win32FileSource> source;
  std::unique_ptr<SignedPackageReader> reader;
  while (true) {
    if (!source) source.reset(new (std::nothrow) Win32FileSource(std::move(file)));
    if (source) {
      reader.reset(new (std::nothrow)
                       SignedPackageReader(source.get(), true, g_output_files, g_package_files));
    }
    if (reader) break;
    if (!RetryAfterOutOfMemory()) return nullptr;
  }
  source.release();  // the reader owns it now
  if (!reader->Open()) {
    ReportReaderError(reader->GetError(), path, kButtonsExitOnly);
    return nullptr;
  }
  return std::unique_ptr<PackageReader>(reader.release());
}

}  // namespace kest
