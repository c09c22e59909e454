// VersionResource: the version information of one file, loaded through the
// version library of the system folder and owned until the object goes.
//
// Load reads the whole block (size query, then the data into a heap buffer
// of that size); the queries then look values up in it without touching the
// file again. The buffer is kept for the next Load and only grows, so one
// object used for file after file allocates only when a larger block comes.
// Move-only; an empty object answers every query with false.
#pragma once
#include <windows.h>

#include <cstdint>

namespace kest {

class VersionResource {
 public:
  VersionResource() = default;
  ~VersionResource() { Free(); }
  VersionResource(VersionResource&& other) noexcept;
  VersionResource& operator=(VersionResource&& other) noexcept;
  VersionResource(const VersionResource&) = delete;
  VersionResource& operator=(const VersionResource&) = delete;

  // Reads the version information of the file at path, replacing whatever
  // was loaded before. False, with the object empty, when the file is
  // missing or has no version resource, when the version library cannot be
  // loaded, or when the block cannot be allocated.
  bool Load(const char* path);
  bool loaded() const { return loaded_; }

  // The file version of the fixed information (root block "\"): words[0]
  // and [1] the high and low words of its most-significant double word,
  // words[2] and [3] those of its least-significant one (major, minor,
  // build, revision). False, with words untouched, when nothing is loaded or
  // the root block is missing or empty.
  bool FixedFileVersion(uint16_t (&words)[4]) const;

  // True when the string table of the first translation named in
  // "\VarFileInfo\Translation" holds a value called name, whatever it
  // holds. False when nothing is loaded, there is no translation, or the
  // name is too long to be looked up (more than kMaxStringName characters).
  bool HasString(const char* name) const;
  static constexpr int kMaxStringName = 200;

 private:
  void Free();
  // VerQueryValueA on the loaded block; false when absent or empty.
  bool Query(const char* sub_block, void** value, UINT* length) const;

  unsigned char* data_ = nullptr;  // owned, capacity_ bytes
  DWORD capacity_ = 0;
  bool loaded_ = false;  // data_ holds the block of the last Load
};

}  // namespace kest
