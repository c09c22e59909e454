// Holds a file open until told to let go:
//   hold_file PATH READY_EVENT QUIT_EVENT [shared-read]
// Opens PATH for reading and writing with no sharing (with shared-read:
// for reading, sharing read access, as a program does that has a library
// loaded), sets the named event READY_EVENT, waits for the named event
// QUIT_EVENT (at most two minutes) and exits. Exit code 0, or 1 when the
// file or an event cannot be opened.
#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) return 1;
  const bool shared_read = argc == 5 && strcmp(argv[4], "shared-read") == 0;
  HANDLE file = CreateFileA(argv[1], shared_read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE,
                            shared_read ? FILE_SHARE_READ : 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
  HANDLE quit = OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
  if (file == INVALID_HANDLE_VALUE || ready == nullptr || quit == nullptr) return 1;
  SetEvent(ready);
  WaitForSingleObject(quit, 120000);
  CloseHandle(file);
  return 0;
}
