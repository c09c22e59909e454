#include "installer/open_package.h"

#include <windows.h>

#include <new>
#include <utility>

#include "archive/win32_output_files.h"
#include "base/install_codes.h"
#include "base/install_status.h"
#include "base/text_limits.h"
#include "install/reader_error.h"
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
  return OpenPackageFile(g_package_files, ArchiveOffset());
}

std::unique_ptr<PackageReader> OpenPackageFile(PackageFileAccess& files, uint32_t archive_offset) {
  // System errors are reported as they are: a sharing violation on the
  // installer's own file is an operating-system error of the package, not
  // a file in use during the copy.
  char path[kPathChars];
  uint32_t code = files.GetPackagePath(path, sizeof path);
  if (code != 0) {
    ReportError(code, kButtonsExitOnly, nullptr, 0);
    return nullptr;
  }
  std::unique_ptr<ByteSource> source;
  // Not RetryingAllocation: a failed open other than out of memory ends
  // at once with its own report, and a retry keeps a source already open.
  std::unique_ptr<SignedPackageReader> reader;
  while (true) {
    if (!source) {
      code = files.Open(path, &source);
      if (code == 0) code = source->Seek(archive_offset);
      if (code != 0) source.reset();
      if (code != 0 && code != kCodeOutOfMemory) {
        ReportError(code, kButtonsExitOnly, path, IDS_LABEL_FILE);
        return nullptr;
      }
    }
    if (source) {
      reader.reset(new (std::nothrow) SignedPackageReader(source.get(), true, g_output_files));
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
