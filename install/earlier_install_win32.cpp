#include "install/earlier_install_win32.h"

#include <windows.h>

#include <cstring>

#include "base/system_api_win32.h"
#include "manifest/registry_key_win32.h"

namespace kest {

bool ReadEarlierInstallFolder(const DependencyRecord* first, char (&destination)[kPathChars]) {
  if (first == nullptr || first->registry_key == nullptr || *first->registry_key == '\0' ||
      first->registry_value == nullptr || *first->registry_value == '\0') {
    return false;
  }
  const RegistryApi* registry = Registry();
  if (registry == nullptr) return false;
  RegistryKey key;
  if (registry->open_key(HKEY_LOCAL_MACHINE, first->registry_key, 0, KEY_READ, key.receive()) !=
      ERROR_SUCCESS) {
    return false;
  }
  // One byte more than a path holds, so that data of a full path's size
  // without a terminator still gets one and is then seen to be too long.
  char folder[kPathChars + 1];
  DWORD size = kPathChars;
  if (registry->query_value(key.get(), first->registry_value, nullptr, nullptr,
                            reinterpret_cast<BYTE*>(folder), &size) != ERROR_SUCCESS) {
    return false;
  }
  folder[size] = '\0';
  const size_t length = strlen(folder);
  if (length == 0 || length >= kPathChars) return false;
  memcpy(destination, folder, length + 1);
  return true;
}

}  // namespace kest
