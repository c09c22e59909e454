// An open registry key, closed when the object goes. Keys are opened and
// closed through the registry table loaded from the system folder.
#pragma once
#include <windows.h>

#include "base/system_api_win32.h"
#include "base/text_limits.h"

namespace kest {

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() { Close(); }
  RegistryKey(RegistryKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
  RegistryKey& operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
      Close();
      key_ = other.key_;
      other.key_ = nullptr;
    }
    return *this;
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // For the calls that return a key: api->open_key(..., key.receive()).
  // The key must not be open yet.
  HKEY* receive() { return &key_; }
  HKEY get() const { return key_; }

 private:
  // A key can only have been opened through the table, so it is there.
  void Close() {
    if (key_ != nullptr) Registry()->close_key(key_);
    key_ = nullptr;
  }

  HKEY key_ = nullptr;
};

// Reads the text value value_name of key_path under HKEY_LOCAL_MACHINE
// (opened for reading; the value's type is not looked at) into out and
// returns true. Data without a terminator gets one. False, with out
// untouched, when the key or value cannot be read, or the text is empty or
// does not fit out whole.
bool ReadMachineText(const char* key_path, const char* value_name, char (&out)[kPathChars]);

}  // namespace kest
