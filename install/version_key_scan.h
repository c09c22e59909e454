// VersionKeyScan: a quick test of whether a file can hold a version-resource
// value of a given name at all, before the version library is asked.
//
// Under Wine the version library reads and parses a library in several
// passes (1 to 5 ms a file, twice over: once for the size, once for the
// data), while reading the whole file costs a tenth of that. The answer is
// only ever "no" when the name cannot be in the file:
//   - the name is looked for as 8-bit text (16-bit resources) and as
//     UTF-16 little-endian text (32-bit resources), at every byte offset,
//     with letters compared without regard to case, as the version library
//     compares value names;
//   - where a character outside ASCII can compare equal to a letter of the
//     name under a code page's or Unicode's case rules (the dotted and
//     dotless i, the long s), it counts as that letter: any byte from 0x80
//     in 8-bit text, U+0130 and U+0131 for i, U+017F for s in UTF-16;
//   - a file that begins like an LZ-compressed file ("SZDD", "KWAJ"),
//     which the version library may read expanded, always may hold it.
// The bytes are fed in pieces of any size; a name across two pieces is
// found like any other.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kest {

class VersionKeyScan {
 public:
  static constexpr size_t kMaxNameChars = 32;

  // name: ASCII, 1 to kMaxNameChars characters; kept by pointer.
  explicit VersionKeyScan(const char* name);

  void Feed(const uint8_t* data, size_t size);
  // True once the name has been seen or the file began like a compressed
  // one.
  bool MayHold() const { return found_; }

 private:
  // Looks for the name starting anywhere in bytes[0, starts) of a span of
  // size bytes.
  void Scan(const uint8_t* bytes, size_t size, size_t starts);

  const char* name_;
  size_t length_;                   // characters in the name
  uint8_t head_[4] = {};            // the file's first bytes
  size_t seen_ = 0;                 // bytes fed so far
  uint8_t carry_[2 * kMaxNameChars];  // the last bytes fed, a name's span less one
  size_t carried_ = 0;
  bool found_ = false;
};

}  // namespace kest
