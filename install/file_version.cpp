#include "install/file_version.h"

namespace kest {

FileVersion MakeFileVersion(const uint16_t (&words)[4]) {
  FileVersion version;
  for (int i = 0; i < 4; ++i) version.part[i] = words[i];
  version.known = 1;
  return version;
}

bool IsNewerThan(const FileVersion& a, const FileVersion& b) {
  for (int i = 0; i < 4; ++i) {
    if (a.part[i] != b.part[i]) return a.part[i] > b.part[i];
  }
  return false;
}

bool Equals(const FileVersion& a, const FileVersion& b) {
  for (int i = 0; i < 4; ++i) {
    if (a.part[i] != b.part[i]) return false;
  }
  return true;
}

}  // namespace kest
