/* A library planted beside an installer under the name of a system library.
   Loading it leaves a marker file beside it, "<its file name>.loaded", so a
   test can tell whether any process ever loaded it. It exports nothing: a
   process that took it for the real library finds none of its functions. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  char path[MAX_PATH + 8];
  DWORD n;
  HANDLE marker;
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  n = GetModuleFileNameA(instance, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return TRUE;
  lstrcpyA(path + n, ".loaded");
  marker = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
  return TRUE;
}
