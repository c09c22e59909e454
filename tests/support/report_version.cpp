// report_version: exits with the Windows version it is shown,
// platform id << 16 | major << 8 | minor, so that a test can check that the
// harness's per-program version switch reaches child processes.
#include <windows.h>

int main() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExA(&version)) return -1;
  return static_cast<int>(version.dwPlatformId << 16 | (version.dwMajorVersion & 0xFF) << 8 |
                          (version.dwMinorVersion & 0xFF));
}
