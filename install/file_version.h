// FileVersion: a file's four-part version (major, minor, build, revision),
// from a package entry's version words or a file's version resource, and a
// flag saying whether there was one. A file without a version resource has
// 0.0.0.0 with the flag clear; comparisons ignore the flag.
#pragma once
#include <cstdint>

namespace kest {

struct FileVersion {
  uint16_t part[4] = {0, 0, 0, 0};  // major, minor, build, revision
  uint32_t known = 0;               // non-zero: read from an entry or a resource
};

// The version of the four words in stored order, known.
FileVersion MakeFileVersion(const uint16_t (&words)[4]);

// a is later than b: the first part, from major to revision, in which they
// differ is greater in a. False for equal versions.
bool IsNewerThan(const FileVersion& a, const FileVersion& b);
// All four parts equal.
bool Equals(const FileVersion& a, const FileVersion& b);

}  // namespace kest
