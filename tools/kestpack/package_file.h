// A package file on the build machine: an installer (image, archive,
// trailer) or a bare ARJ archive, read whole (PackageFile) or through one
// open file (OpenPackageOnDisk).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/memory_source.h"
#include "tools/kestpack/host_files.h"
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

// A package file read through one open file, never whole: what it holds
// is recognised from its first kPackageHeadBytes at most, and everything
// after that (the signed range, the entries) is read through the same
// file, so memory stays bounded whatever the file's size.
struct OpenedPackage {
  std::string path;
  std::unique_ptr<PosixFileSource> source;  // positioned at the archive's start
  uint32_t size = 0;                        // the file's size
  PackageLayout layout;
  const char* Kind() const { return layout.installer ? "installer" : "bare archive"; }
};

// The most of a file's start read to recognise it: an installer image with
// its archive offset slot must lie within it (the installer stub is far
// smaller).
constexpr uint32_t kPackageHeadBytes = 4u << 20;

// False with *error ("path: reason") when the file cannot be read or holds
// no package.
bool OpenPackageOnDisk(const std::string& path, OpenedPackage* package, std::string* error);

}  // namespace kest
