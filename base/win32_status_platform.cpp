#include "base/win32_status_platform.h"

namespace kest {

bool Win32StatusPlatform::LoadText(uint32_t id, char* buffer, uint32_t size) {
  int n = LoadStringA(instance_, id, buffer, static_cast<int>(size));
  if (n <= 0) {
    buffer[0] = '\0';
    return false;
  }
  return true;
}

bool Win32StatusPlatform::SystemMessage(uint32_t code, char* buffer, uint32_t size) {
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                           0, buffer, size, nullptr);
  if (n == 0) return false;
  // The system ends its texts with a line break; the detail line has its own.
  while (n > 0 && (buffer[n - 1] == '\r' || buffer[n - 1] == '\n' || buffer[n - 1] == ' '))
    buffer[--n] = '\0';
  return true;
}

uint32_t Win32StatusPlatform::ShowErrorDialog(InstallStatus& status) {
  // No dialog at this layer: the report reaches the log and the exit code.
  (void)status;
  return 0;
}

}  // namespace kest
