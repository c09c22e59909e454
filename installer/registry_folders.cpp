// The two folders the install sequence reads from the registry under
// HKEY_LOCAL_MACHINE: an earlier installation's, and the host product's.
#include <windows.h>

#include <cstring>

#include "install/earlier_install_win32.h"
#include "installer/install_record.h"
#include "installer/install_sequence.h"
#include "manifest/registry_key_win32.h"
#include "manifest/version_subkey_win32.h"
#include "resources/string_ids.h"

namespace kest {

bool FindExistingFolder(HINSTANCE, InstallRecord& record) {
  if (record.has_dependencies == 0) return false;
  return ReadEarlierInstallFolder(record.dependencies.get(), record.destination);
}

bool FindScribaFolder(HINSTANCE instance, InstallRecord& record) {
  char key_path[kPathChars] = {};
  const int key_length = LoadStringA(instance, IDS_HOST_PRODUCT_KEY, key_path, sizeof(key_path));
  if (key_length <= 0) return false;
  char subkey[kPathChars] = {};
  VersionParts best = {};
  if (FindHighestVersionSubkey(HKEY_LOCAL_MACHINE, key_path, &best, subkey) != ERROR_SUCCESS ||
      subkey[0] == '\0') {
    return false;
  }
  // The key and its subkey must fit whole: a cut name is another key.
  const size_t subkey_length = strlen(subkey);
  if (static_cast<size_t>(key_length) + subkey_length >= sizeof(key_path)) return false;
  memcpy(key_path + key_length, subkey, subkey_length + 1);
  return ReadMachineText(key_path, "Path", record.scriba_folder);
}

}  // namespace kest
