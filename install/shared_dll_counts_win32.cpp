#include "install/shared_dll_counts_win32.h"

#include <windows.h>

#include "base/system_api_win32.h"
#include "base/text_limits.h"
#include "install/component_text_win32.h"
#include "manifest/registry_key_win32.h"

namespace kest {
namespace {

constexpr char kSharedDllsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
constexpr DWORD kPlatformWindows95 = 1;

enum class Direction { kUp, kDown };

// Asks the system to delete path when it next starts. The Windows 95 family
// takes a rename to NUL in WININIT.INI; Windows NT a pending move to nothing.
void QueueDeletionAtRestart(const char* path) {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExA(&version)) return;
  if (version.dwPlatformId == kPlatformWindows95) {
    char profile[kPathChars];
    UINT length = GetWindowsDirectoryA(profile, kPathChars);
    static const char kFile[] = "\\WININIT.INI";
    if (length == 0 || length >= kPathChars) return;
    if (profile[length - 1] == '\\') --length;  // a drive root
    if (length + sizeof(kFile) > kPathChars) return;
    lstrcpyA(profile + length, kFile);
    WritePrivateProfileStringA("Rename", "NUL", path, profile);
  } else {
    MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}

bool UpdateCount(const wchar_t* path, Direction direction, bool delete_at_zero) {
  size_t length;
  if (!MeasureComponentText(path, kSharedDllPathUnits, &length) || length == 0) return false;
  // A path whose ANSI form does not fit, terminator included, could not
  // name a file through the ANSI calls anyway: refused, never cut.
  char name[kPathChars];
  if (WideCharToMultiByte(CP_ACP, 0, path, -1, name, kPathChars, nullptr, nullptr) <= 0) {
    return false;
  }

  const RegistryApi* api = Registry();
  if (api == nullptr) return false;
  RegistryKey key;
  if (api->open_key(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, KEY_ALL_ACCESS, key.receive()) !=
      ERROR_SUCCESS) {
    return false;
  }

  DWORD count = 0;
  DWORD type = 0;
  DWORD size = sizeof(count);
  LONG read = api->query_value(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&count),
                               &size);
  if (read != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(count)) {
    DWORD attributes = GetFileAttributesA(name);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return false;
    }
    count = 0;  // an existing file that nobody has counted yet
  }

  if (direction == Direction::kUp) {
    if (count == 0xFFFFFFFF) return false;  // one more would wrap to 0
    ++count;
  } else {
    if (count == 0) return true;
    --count;
  }
  if (api->set_value(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count),
                     sizeof(count)) != ERROR_SUCCESS) {
    return false;
  }
  if (delete_at_zero && count == 0) QueueDeletionAtRestart(name);
  return true;
}

}  // namespace

bool AddSharedDllRef(const wchar_t* path) { return UpdateCount(path, Direction::kUp, false); }

bool ReleaseSharedDllRef(const wchar_t* path, bool delete_at_zero) {
  return UpdateCount(path, Direction::kDown, delete_at_zero);
}

}  // namespace kest
