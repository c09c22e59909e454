#include "tools/kestpack/package_file.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>


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

bool OpenPackageOnDisk(const std::string& path, OpenedPackage* package, std::string* error) {
  package->path = path;
  package->source = PosixFileSource::Open(path, error);
  if (!package->source) return false;
  PosixFileSource& source = *package->source;
  uint32_t code = source.Size(&package->size);
  std::vector<uint8_t> head;
  if (code == 0) {
    head.resize(package->size < kPackageHeadBytes ? package->size : kPackageHeadBytes);
    uint32_t got = 0;
    code = source.Read(head.data(), uint32_t(head.size()), &got);
    if (code == 0 && got != head.size()) code = EIO;  // the file shrank while read
  }
  if (code != 0) {
    *error = path + ": " + DescribeSystemError(int(code));
    return false;
  }
  if (!FindPackageLayout(head.data(), head.size(), package->size, &package->layout, error)) {
    *error = path + ": " + *error +
             (head.size() < package->size && head[0] == 'M'
                  ? " (kestpack looks for the image in the first " +
                        std::to_string(kPackageHeadBytes >> 20) + " MiB)"
                  : "");
    return false;
  }
  code = source.Seek(package->layout.archive_offset);
  if (code != 0) {
    *error = path + ": " + DescribeSystemError(int(code));
    return false;
  }
  return true;
}

}  // namespace kest
