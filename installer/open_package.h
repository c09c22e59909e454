// Opening the package inside the running installer's own file.
#pragma once
#include <cstdint>
#include <memory>

#include "archive/package_reader.h"
#include "verify/package_file_access.h"

namespace kest {

// The archive offset A held in the installer's archive offset slot (see
// verify/archive_offset_slot.h), as the packaging step patched it.
uint32_t ArchiveOffset();

// Opens the installer's own file once, at the archive offset, and makes the
// signed package reader on that one handle, which reads the main header,
// checks the signature over the same handle and loads the first entry.
// Every failure is reported through ReportError (exit-only; a failed
// allocation allows Try Again) and gives null:
//   the own path cannot be found      the system error as it is, no detail
//   the file cannot be opened or the
//   archive offset cannot be reached  the system error as it is, "File:"
//                                     and the path
//   the reader is unusable            its error word through
//                                     ReportReaderError, with the path
// The caller owns the reader.
std::unique_ptr<PackageReader> OpenPackage();

// OpenPackage on the package file that files names, with its archive at
// archive_offset; files is asked for the path once and opens it once.
std::unique_ptr<PackageReader> OpenPackageFile(PackageFileAccess& files, uint32_t archive_offset);

}  // namespace kest
