// record_prerequisite: a prerequisite install for the tests. It appends to
// the file named by KEST_PREREQ_RECORD what it was given:
//
//   command <its command line, exactly as received>
//   folder <its current directory>
//   program <the path of its own executable>
//
// With KEST_PREREQ_LOG it also appends a line to that file (the installer's
// log, which must be free while a prerequisite runs) and records "log 1",
// or "log 0" when the file cannot be opened. With KEST_PREREQ_WINDOW (a
// window handle in decimal) it sends that window the message WM_APP + 7 and
// records "sent <the window's answer>", or "sent none" when the window's
// thread handled no messages for a minute. With KEST_PREREQ_BROADCAST it
// tells every top-level window that a setting changed, with SendMessage as
// installers do, and records "broadcast" once every window has answered.
// It exits with the code in
// KEST_PREREQ_EXIT (decimal; 0 when unset).
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::string Variable(const char* name) {
  char value[1024];
  DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
  return length == 0 || length >= sizeof(value) ? std::string() : std::string(value, length);
}

bool Append(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return ok;
}

}  // namespace

int main() {
  const std::string record = Variable("KEST_PREREQ_RECORD");
  char folder[MAX_PATH] = {}, program[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, folder);
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string lines = std::string("command ") + GetCommandLineA() + "\nfolder " + folder +
                      "\nprogram " + program + "\n";
  const std::string log = Variable("KEST_PREREQ_LOG");
  if (!log.empty()) {
    // Dressed as a log line: a timestamp's width, then the text.
    bool written = Append(log, "Thu Jan 01 12:00:00 AM: prerequisite wrote here\n");
    lines += written ? "log 1\n" : "log 0\n";
  }
  const std::string window = Variable("KEST_PREREQ_WINDOW");
  if (!window.empty()) {
    HWND target = reinterpret_cast<HWND>(static_cast<uintptr_t>(strtoull(window.c_str(), nullptr, 10)));
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutA(target, WM_APP + 7, 0, 0, SMTO_NORMAL, 60000, &answer) != 0) {
      lines += "sent " + std::to_string(answer) + "\n";
    } else {
      lines += "sent none\n";
    }
  }
  if (!Variable("KEST_PREREQ_BROADCAST").empty()) {
    SendMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("Environment"));
    lines += "broadcast\n";
  }
  Append(record, lines);
  return static_cast<int>(strtoul(Variable("KEST_PREREQ_EXIT").c_str(), nullptr, 10));
}
