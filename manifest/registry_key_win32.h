// An open registry key, closed when the object goes.
#pragma once
#include <windows.h>

namespace kest {

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  RegistryKey(RegistryKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
  RegistryKey& operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
      if (key_ != nullptr) RegCloseKey(key_);
      key_ = other.key_;
      other.key_ = nullptr;
    }
    return *this;
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // For the Reg*Ex calls that return a key: RegOpenKeyExA(..., key.receive()).
  // The key must not be open yet.
  HKEY* receive() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace kest
