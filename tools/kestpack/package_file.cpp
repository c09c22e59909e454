#include "tools/kestpack/package_file.h"

#include "tools/kestpack/host_files.h"

namespace kest {

MemorySource PackageFile::ArchiveSource() const {
  MemorySource source(bytes.data(), uint32_t(bytes.size()));
  source.Seek(layout.archive_offset);
  return source;
}

bool LoadPackageFile(const std::string& path, PackageFile* file, std::string* error) {
  file->path = path;
  if (!ReadWholeFile(path, &file->bytes, error)) return false;
  if (!FindPackageLayout(file->bytes.data(), file->bytes.size(), file->bytes.size(),
                         &file->layout, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

}  // namespace kest
