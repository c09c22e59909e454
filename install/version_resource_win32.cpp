#include "install/version_resource_win32.h"

#include <new>

#include "base/system_api_win32.h"

namespace kest {

VersionResource::VersionResource(VersionResource&& other) noexcept
    : data_(other.data_), capacity_(other.capacity_), loaded_(other.loaded_) {
  other.data_ = nullptr;
  other.capacity_ = 0;
  other.loaded_ = false;
}

VersionResource& VersionResource::operator=(VersionResource&& other) noexcept {
  if (this != &other) {
    Free();
    data_ = other.data_;
    capacity_ = other.capacity_;
    loaded_ = other.loaded_;
    other.data_ = nullptr;
    other.capacity_ = 0;
    other.loaded_ = false;
  }
  return *this;
}

void VersionResource::Free() {
  delete[] data_;
  data_ = nullptr;
  capacity_ = 0;
  loaded_ = false;
}

bool VersionResource::Load(const char* path) {
  loaded_ = false;
  const VersionApi* api = Version();
  if (api == nullptr) return false;
  DWORD ignored = 0;
  DWORD size = api->get_info_size(const_cast<char*>(path), &ignored);
  if (size == 0) return false;
  if (size > capacity_) {
    Free();
    data_ = new (std::nothrow) unsigned char[size];
    if (data_ == nullptr) return false;
    capacity_ = size;
  }
  loaded_ = api->get_info(const_cast<char*>(path), 0, size, data_) != 0;
  return loaded_;
}

bool VersionResource::Query(const char* sub_block, void** value, UINT* length) const {
  if (!loaded_) return false;
  *value = nullptr;
  *length = 0;
  // The table is there: the block was loaded through it.
  if (!Version()->query_value(data_, const_cast<char*>(sub_block), value, length)) return false;
  return *value != nullptr && *length != 0;
}

bool VersionResource::FixedFileVersion(uint16_t (&words)[4]) const {
  void* value;
  UINT length;
  // A block shorter than the structure is not read at all.
  if (!Query("\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO)) return false;
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  words[0] = HIWORD(fixed->dwFileVersionMS);
  words[1] = LOWORD(fixed->dwFileVersionMS);
  words[2] = HIWORD(fixed->dwFileVersionLS);
  words[3] = LOWORD(fixed->dwFileVersionLS);
  return true;
}

bool VersionResource::HasString(const char* name) const {
  void* value;
  UINT length;
  // Each translation is a language word followed by a code-page word.
  if (!Query("\\VarFileInfo\\Translation", &value, &length) || length < 2 * sizeof(WORD)) {
    return false;
  }
  const auto* translation = static_cast<const WORD*>(value);

  // "\StringFileInfo\" + language and code page as eight upper-case
  // hexadecimal digits + "\" + name.
  static const char kPrefix[] = "\\StringFileInfo\\";
  static const char kHex[] = "0123456789ABCDEF";
  char sub_block[sizeof(kPrefix) - 1 + 8 + 1 + kMaxStringName + 1];
  int n = 0;
  for (const char* p = kPrefix; *p != '\0'; ++p) sub_block[n++] = *p;
  const DWORD pair = (static_cast<DWORD>(translation[0]) << 16) | translation[1];
  for (int shift = 28; shift >= 0; shift -= 4) sub_block[n++] = kHex[(pair >> shift) & 0xF];
  sub_block[n++] = '\\';
  for (int i = 0; name[i] != '\0'; ++i) {
    if (i == kMaxStringName) return false;
    sub_block[n++] = name[i];
  }
  sub_block[n] = '\0';

  // The value counts whatever it holds, an empty one included.
  value = nullptr;
  length = 0;
  return Version()->query_value(data_, sub_block, &value, &length) != 0;
}

}  // namespace kest
