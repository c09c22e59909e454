#include "tests/support/win32_test_support.h"

#include <sddl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace kest::test {

std::string WindowsPath(const std::string& unix_path) {
  std::string path = unix_path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return unix_path.empty() || unix_path[0] != '/' ? path : "Z:" + path;
}

DWORD HangGuardMs(DWORD ms) {
  const char* text = getenv("KEST_TEST_SLOWDOWN");
  const long factor = text != nullptr ? strtol(text, nullptr, 10) : 1;
  return factor > 1 && factor <= 100 ? ms * DWORD(factor) : ms;
}

bool WaitUntil(DWORD guard_ms, const std::function<bool()>& done) {
  const DWORD guard = HangGuardMs(guard_ms);
  const DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start >= guard) return false;
    Sleep(10);
  }
}

ProcessResult RunProcess(const std::string& command_line, DWORD timeout_ms) {
  ProcessResult result;
  std::vector<char> command(command_line.begin(), command_line.end());
  command.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    result.start_error = GetLastError();
    return result;
  }
  result.started = true;
  if (WaitForSingleObject(process.hProcess, HangGuardMs(timeout_ms)) == WAIT_OBJECT_0) {
    result.finished = true;
    GetExitCodeProcess(process.hProcess, &result.exit_code);
  } else {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

ScopedWindowsVersion::ScopedWindowsVersion(const std::string& exe_name, const std::string& version)
    : key_("Software\\Wine\\AppDefaults\\" + exe_name) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) == ERROR_SUCCESS) {
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                   static_cast<DWORD>(version.size() + 1));
    RegCloseKey(key);
  }
}

ScopedWindowsVersion::~ScopedWindowsVersion() { RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str()); }

ScopedDllOff::ScopedDllOff(const std::string& exe_name, const std::string& dll)
    : key_("Software\\Wine\\AppDefaults\\" + exe_name + "\\DllOverrides") {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) == ERROR_SUCCESS) {
    RegSetValueExA(key, dll.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    RegCloseKey(key);
  }
}

ScopedDllOff::~ScopedDllOff() {
  RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
  // The program's own key too: a version switch set inside this object's
  // life could not remove it while the overrides were under it.
  RegDeleteKeyA(HKEY_CURRENT_USER, key_.substr(0, key_.rfind('\\')).c_str());
}

ProcessResult RunThisProgramUnder(const std::string& version, const std::string& gtest_filter) {
  char program[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return ProcessResult();
  const char* name = strrchr(program, '\\');
  ScopedWindowsVersion scoped(name != nullptr ? name + 1 : program, version);
  SetEnvironmentVariableA("KEST_TEST_WINDOWS_VERSION", version.c_str());
  ProcessResult result =
      RunProcess("\"" + std::string(program) + "\" --gtest_filter=" + gtest_filter);
  SetEnvironmentVariableA("KEST_TEST_WINDOWS_VERSION", nullptr);
  return result;
}

void ExpectTestsPassUnder(std::initializer_list<const char*> versions,
                          const std::string& gtest_filter) {
  for (const char* version : versions) {
    SCOPED_TRACE(version);
    ProcessResult run = RunThisProgramUnder(version, gtest_filter);
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, 0u);
  }
}

const char* RequestedWindowsVersion() { return getenv("KEST_TEST_WINDOWS_VERSION"); }

ScratchFolder::ScratchFolder(const std::string& parent) {
  char temp[MAX_PATH];
  DWORD n = parent.empty() ? GetTempPathA(sizeof(temp), temp) : 0;
  std::string base = parent.empty() ? std::string(temp, n < MAX_PATH ? n : 0) : parent;
  if (!base.empty() && base.back() == '\\') base.pop_back();
  for (unsigned i = GetTickCount() ^ GetCurrentProcessId();; ++i) {
    std::string candidate = base + "\\kest" + std::to_string(i % 1000000);
    if (CreateDirectoryA(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return;
  }
}

ScratchFolder::~ScratchFolder() {
  if (!path_.empty()) RemoveTree(path_);
}

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      std::string child = path + "\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  RemoveDirectoryA(path.c_str());
}

FileHolder::FileHolder(const std::string& path, Mode mode) {
  // Names of their own for every holder, so that holders can overlap.
  static unsigned holders = 0;
  const std::string id = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++holders);
  const std::string ready_name = "kest-hold-ready-" + id, quit_name = "kest-hold-quit-" + id;
  ready_ = CreateEventA(nullptr, TRUE, FALSE, ready_name.c_str());
  quit_ = CreateEventA(nullptr, TRUE, FALSE, quit_name.c_str());
  std::string command = "\"" + BesideTestProgram("hold_file.exe") + "\" \"" + path + "\" " +
                        ready_name + " " + quit_name +
                        (mode == Mode::kSharedRead ? " shared-read" : "");
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  if (ready_ == nullptr || quit_ == nullptr ||
      !CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process_))
    return;
  HANDLE waits[2] = {ready_, process_.hProcess};
  holding_ = WaitForMultipleObjects(2, waits, FALSE, 60000) == WAIT_OBJECT_0;
}

void FileHolder::Release() {
  holding_ = false;
  if (process_.hProcess != nullptr) {
    SetEvent(quit_);
    if (WaitForSingleObject(process_.hProcess, 30000) != WAIT_OBJECT_0) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_ = {};
  }
  if (ready_ != nullptr) CloseHandle(ready_);
  if (quit_ != nullptr) CloseHandle(quit_);
  ready_ = quit_ = nullptr;
}

std::string BesideTestProgram(const std::string& name) {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string program(path, n);
  return program.substr(0, program.rfind('\\') + 1) + name;
}

std::string SampleInstallerPath() {
  if (const char* path = getenv("KEST_SIGNED_PACKAGE")) return path;
  return WindowsPath(KEST_BINARY_DIR "/sample/MorvaneSetup.exe");
}

bool ReadWholeFile(const std::string& path, std::string* contents) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  contents->clear();
  char buffer[65536];
  DWORD read = 0;
  bool ok = true;
  while ((ok = ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) && read > 0)
    contents->append(buffer, read);
  CloseHandle(file);
  return ok;
}

bool WriteWholeFile(const std::string& path, const std::string& contents) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) &&
            written == contents.size();
  CloseHandle(file);
  return ok;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> FolderContents(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return names;
}

bool SetWriteTime(const std::string& path, uint64_t time) {
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const FILETIME t = {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
  const bool ok = SetFileTime(file, nullptr, nullptr, &t) != 0;
  CloseHandle(file);
  return ok;
}

std::string Lower(std::string text) {
  if (!text.empty()) CharLowerA(&text[0]);
  return text;
}

namespace {

// The Linux path Wine gives a Windows path (Wine's own kernel32 export).
std::string UnixPath(const std::string& path) {
  using ToUnix = char*(CDECL*)(const WCHAR*);
  const auto to_unix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (to_unix == nullptr) return "";
  std::wstring wide(path.begin(), path.end());
  char* unix_path = to_unix(wide.c_str());
  if (unix_path == nullptr) return "";
  std::string result = unix_path;
  HeapFree(GetProcessHeap(), 0, unix_path);
  return result;
}

}  // namespace

bool MakeUnixLink(const std::string& target, const std::string& link) {
  const std::string unix_target = UnixPath(target), unix_link = UnixPath(link);
  if (unix_target.empty() || unix_link.empty()) return false;
  // Wine neither waits for a Linux program nor gives its exit code: the
  // link's name appearing in its folder tells that ln has done its work.
  const size_t split = link.find_last_of('\\');
  if (split == std::string::npos) return false;
  if (!RunProcess("Z:\\bin\\ln -s " + unix_target + " " + unix_link).started) return false;
  for (int wait = 0; wait < 1000; ++wait) {
    for (const std::string& name : FolderContents(link.substr(0, split))) {
      if (name == link.substr(split + 1)) return true;
    }
    Sleep(10);
  }
  return false;
}

std::string DaclText(const void* descriptor) {
  char* text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(
          const_cast<void*>(descriptor), SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
          nullptr)) {
    return "<none>";
  }
  std::string result = text;
  LocalFree(text);
  return result;
}

std::string FileDaclText(const std::string& path) {
  std::vector<char> buffer(4096);
  DWORD needed = 0;
  if (!GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, buffer.data(),
                        static_cast<DWORD>(buffer.size()), &needed)) {
    return "<none>";
  }
  return DaclText(buffer.data());
}

std::string NormalSddl(const char* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor,
                                                            nullptr)) {
    return "<invalid>";
  }
  std::string result = DaclText(descriptor);
  LocalFree(descriptor);
  return result;
}

bool CreateFolderWith(const std::string& folder, const char* sddl) {
  if (sddl == nullptr) return CreateDirectoryA(folder.c_str(), nullptr) != FALSE;
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, FALSE};
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
          sddl, SDDL_REVISION_1, &attributes.lpSecurityDescriptor, nullptr)) {
    return false;
  }
  const bool created = CreateDirectoryA(folder.c_str(), &attributes) != FALSE;
  LocalFree(attributes.lpSecurityDescriptor);
  return created;
}

}  // namespace kest::test
