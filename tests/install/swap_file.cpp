// Replaces a file the moment it appears, as another program on the same
// machine might, to slip its own library into a registration:
//   swap_file TARGET REPLACEMENT READY_EVENT QUIT_EVENT
// Sets the named event READY_EVENT, then, until the named event QUIT_EVENT
// is set (at most two minutes), moves REPLACEMENT over TARGET, replacing it,
// as soon as TARGET exists: once. Exit code 0 when the move was made, 1
// when it never was, 2 when an event cannot be opened.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
  HANDLE quit = OpenEventA(SYNCHRONIZE, FALSE, argv[4]);
  if (ready == nullptr || quit == nullptr) return 2;
  SetEvent(ready);
  const DWORD start = GetTickCount();
  while (WaitForSingleObject(quit, 0) == WAIT_TIMEOUT && GetTickCount() - start < 120000) {
    if (GetFileAttributesA(argv[1]) != INVALID_FILE_ATTRIBUTES &&
        MoveFileExA(argv[2], argv[1], MOVEFILE_REPLACE_EXISTING)) {
      return 0;
    }
    Sleep(0);
  }
  return 1;
}
