#include "tools/kestpack/package_file.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>

#include "tools/kestpack/host_files.h"

namespace kest {
namespace {

// Makes room for the file's bytes in memory that the system may back with
// large pages. Fresh memory costs a page fault per page when first
// touched, and on some machines (virtual ones above all) each fault costs
// as much as decoding tens of kilobytes: for a package of 10 MB, 4 KiB
// pages made the whole file's read cost a third of an extraction. The
// reservation is a hint; ReadWholeFile sizes and fills the vector as
// always, and a file that has grown meanwhile just takes a new buffer.
void ReserveLargePages(const std::string& path, std::vector<uint8_t>* bytes) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 ||
      static_cast<uint64_t>(st.st_size) > UINT32_MAX)
    return;
  bytes->reserve(static_cast<size_t>(st.st_size));
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t start = (reinterpret_cast<uintptr_t>(bytes->data()) + page - 1) & ~(page - 1);
  const uintptr_t end = reinterpret_cast<uintptr_t>(bytes->data()) + bytes->capacity();
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

}  // namespace

MemorySource PackageFile::ArchiveSource() const {
  MemorySource source(bytes.data(), uint32_t(bytes.size()));
  source.Seek(layout.archive_offset);
  return source;
}

bool LoadPackageFile(const std::string& path, PackageFile* file, std::string* error) {
  file->path = path;
  ReserveLargePages(path, &file->bytes);
  if (!ReadWholeFile(path, &file->bytes, error)) return false;
  if (!FindPackageLayout(file->bytes.data(), file->bytes.size(), file->bytes.size(),
                         &file->layout, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

}  // namespace kest
