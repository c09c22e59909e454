// Holds a file open with no sharing until told to let go:
//   hold_file PATH READY_EVENT QUIT_EVENT
// Opens PATH for reading and writing with no sharing, sets the named event
// READY_EVENT, waits for the named event QUIT_EVENT (at most two minutes)
// and exits. Exit code 0, or 1 when the file or an event cannot be opened.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 4) return 1;
  HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
  HANDLE quit = OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
  if (file == INVALID_HANDLE_VALUE || ready == nullptr || quit == nullptr) return 1;
  SetEvent(ready);
  WaitForSingleObject(quit, 120000);
  CloseHandle(file);
  return 0;
}
