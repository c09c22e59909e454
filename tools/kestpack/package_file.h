// A package file on the build machine, read whole: an installer (image,
// archive, trailer) or a bare ARJ archive.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "archive/memory_source.h"
#include "tools/kestpack/installer_image.h"

namespace kest {

struct PackageFile {
  std::string path;
  std::vector<uint8_t> bytes;
  PackageLayout layout;

  // A source over the bytes, positioned at the archive's start. The
  // PackageFile must outlive it.
  MemorySource ArchiveSource() const;
  const char* Kind() const { return layout.installer ? "installer" : "bare archive"; }
};

// False with *error ("path: reason") when the file cannot be read or holds
// no package.
bool LoadPackageFile(const std::string& path, PackageFile* file, std::string* error);

}  // namespace kest
