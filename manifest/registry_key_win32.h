// An open registry key, closed when the object goes. Keys are opened and
// closed through the registry table loaded from the system folder.
#pragma once
#include <windows.h>

#include "base/system_api_win32.h"

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

}  // namespace kest
