#include "manifest/registry_key_win32.h"

#include <cstring>

namespace kest {

bool ReadMachineText(const char* key_path, const char* value_name, char (&out)[kPathChars]) {
  const RegistryApi* registry = Registry();
  if (registry == nullptr) return false;
  RegistryKey key;
  if (registry->open_key(HKEY_LOCAL_MACHINE, key_path, 0, KEY_READ, key.receive()) !=
      ERROR_SUCCESS) {
    return false;
  }
  // One byte more than out holds, so that data of a full path's size
  // without a terminator still gets one and is then seen to be too long.
  char text[kPathChars + 1];
  DWORD size = kPathChars;
  if (registry->query_value(key.get(), value_name, nullptr, nullptr,
                            reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS) {
    return false;
  }
  text[size] = '\0';
  const size_t length = strlen(text);
  if (length == 0 || length >= kPathChars) return false;
  memcpy(out, text, length + 1);
  return true;
}

}  // namespace kest
