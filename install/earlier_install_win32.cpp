#include "install/earlier_install_win32.h"

#include "manifest/registry_key_win32.h"

namespace kest {

bool ReadEarlierInstallFolder(const DependencyRecord* first, char (&destination)[kPathChars]) {
  if (first == nullptr || first->registry_key == nullptr || *first->registry_key == '\0' ||
      first->registry_value == nullptr || *first->registry_value == '\0') {
    return false;
  }
  return ReadMachineText(first->registry_key, first->registry_value, destination);
}

}  // namespace kest
