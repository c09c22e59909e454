// Runs one piece of the file copy in a process of its own, so that the test
// can choose the Windows version it sees (Wine's AppDefaults apply to a
// program by name when it starts):
//
//   copy_probe queue REPLACEMENT TARGET
//       QueueReplaceAtRestart(REPLACEMENT, TARGET).
//
// The exit code is the install code pending at the end (0 on success).
// Reports are recorded, not shown.
#include <windows.h>

#include <cstring>

#include "base/host_status_platform.h"
#include "base/install_status.h"
#include "install/restart_replacement_win32.h"

int main(int argc, char** argv) {
  kest::RecordingStatusPlatform platform;
  if (argc == 4 && strcmp(argv[1], "queue") == 0) {
    kest::QueueReplaceAtRestart(argv[2], argv[3]);
    return static_cast<int>(kest::Status().install_code);
  }
  return 2;
}
