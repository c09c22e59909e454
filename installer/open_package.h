// Opening the package inside the running installer's own file.
#pragma once
#include <cstdint>
#include <memory>

#include "archive/package_reader.h"

namespace kest {

// The archive offset A held in the installer's archive offset slot (see
// verify/archive_offset_slot.h), as the packaging step patched it.
uint32_t ArchiveOffset();

// Opens the installer's own file at the archive offset and makes the signed
// package reader on it, which reads the main header, checks the signature
// and loads the first entry. Every failure is reported through ReportError
// (exit-only; a failed allocation allows Try Again) and gives null:
//   the own path cannot be found      the system error, no detail
//   the file cannot be opened or the
//   archive offset cannot be reached  the system error, "File:" and the path
//   the reader is unusable            its error word through
//                                     ReportReaderError, with the path
// The caller owns the reader.
std::unique_ptr<PackageReader> OpenPackage();

}  // namespace kest
