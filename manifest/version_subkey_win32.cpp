#include "manifest/version_subkey_win32.h"

#include <cstring>

#include "base/text_limits.h"
#include "manifest/registry_key_win32.h"

namespace kest {
namespace {

// Registry key names hold at most 255 characters; the buffer has room to
// spare.
constexpr DWORD kSubkeyNameBytes = 276;

}  // namespace

LONG FindHighestVersionSubkey(HKEY root, const char* path, VersionParts* best, char* name) {
  *best = VersionParts{};
  const RegistryApi* api = Registry();
  if (api == nullptr) return ERROR_PROC_NOT_FOUND;
  RegistryKey key;
  LONG status =
      api->open_key(root, path, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, key.receive());
  if (status != ERROR_SUCCESS) return status;

  for (DWORD index = 0;; ++index) {
    char subkey[kSubkeyNameBytes];
    DWORD length = sizeof(subkey);
    status = api->enum_key(key.get(), index, subkey, &length, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) break;

    // The version reader cuts its text, so it reads a copy of the name.
    char scratch[kSubkeyNameBytes];
    memcpy(scratch, subkey, sizeof(scratch));
    VersionParts version;
    if (ParseVersionText(scratch, &version) == 0) continue;
    if (CompareVersionParts(version, *best) <= 0) continue;
    // A name the caller's buffer cannot hold whole would name another key.
    if (name != nullptr && !CopyText(name, kPathChars, subkey)) continue;
    *best = version;
  }
  return status == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : status;
}

}  // namespace kest
