// exitcode COMMAND LINE...
// Starts the command line, waits for it and prints "exit code 0x%08X".
// Its own exit code is the low byte, like a shell's, or 255 when the
// command could not be started.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main() {
  // Everything after our own program name, as typed.
  const char* line = GetCommandLineA();
  bool quoted = false;
  for (; *line != '\0' && (quoted || (*line != ' ' && *line != '\t')); ++line) {
    if (*line == '"') quoted = !quoted;
  }
  while (*line == ' ' || *line == '\t') ++line;

  static char command[32768];
  strncpy(command, line, sizeof(command) - 1);
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    fprintf(stderr, "exitcode: cannot start %s (error %lu)\n", line, GetLastError());
    return 255;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  printf("exit code 0x%08lX\n", code);
  return static_cast<int>(code & 0xFF);
}
