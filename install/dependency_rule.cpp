#include "install/dependency_rule.h"

#include "base/install_codes.h"
#include "manifest/version_text.h"

namespace kest {

bool FileIsOlder(const char* file, char* version, const char* destination,
                 TargetResolver& resolver, DiskFileFacts& disk) {
  if (file == nullptr || *file == '\0' || destination == nullptr || *destination == '\0') {
    return false;
  }
  char path[kPathChars];
  const bool resolved = resolver.ResolveTargetPath(file, path, destination).ok();
  if (version == nullptr) return false;

  VersionParts parts;
  ParseVersionText(version, &parts);
  FileVersion required = MakeFileVersion(parts.part);
  // A path that cannot be made names no file there is: 0.0.0.0.
  FileVersion installed = resolved ? disk.GetFileVersion(path) : FileVersion();
  return IsNewerThan(required, installed);
}

bool AnyRequiredFileOlder(DependencyRecord& dependency, const char* destination,
                          TargetResolver& resolver, DiskFileFacts& disk, int* older) {
  for (int i = 0; i < kRequiredFiles; ++i) {
    RequiredFile& pair = dependency.required[i];
    if (FileIsOlder(pair.file, pair.version, destination, resolver, disk)) {
      if (older != nullptr) *older = i;
      return true;
    }
  }
  return false;
}

}  // namespace kest
