// Support for Win32 tests that run under Wine: child processes with their
// full 32-bit exit code, the Windows version a child sees, scratch folders.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace kest::test {

// A Linux path as the Windows side sees it (Wine maps drive Z: to "/").
std::string WindowsPath(const std::string& unix_path);

struct ProcessResult {
  bool started = false;
  DWORD start_error = 0;  // GetLastError of a CreateProcess that failed
  bool finished = false;  // false: not started, or still running at the time-out, then stopped
  DWORD exit_code = 0;
};

// A hang guard of ms milliseconds: a wait that ends at its limit only when
// something hung, never a measure of speed. KEST_TEST_SLOWDOWN, a whole
// number from 1 to 100 (default 1), stretches every guard where everything
// runs many times slower than on the machines the limits were chosen on:
// scripts/guest32.sh sets it in its emulated machine.
DWORD HangGuardMs(DWORD ms);

// Asks done() every 10 ms until it answers true (then true) or until
// HangGuardMs(guard_ms) have passed by the clock (then false). The guard is
// time, not a count of questions: where each question costs far more than
// the pause between them (a message to another thread's window in an
// emulated machine), a count would stretch the guard many times over.
bool WaitUntil(DWORD guard_ms, const std::function<bool()>& done);

// Starts command_line (program and arguments, as CreateProcess takes them),
// waits at most HangGuardMs(timeout_ms) and returns its exit code. A process
// still running at the time-out is terminated.
ProcessResult RunProcess(const std::string& command_line, DWORD timeout_ms = 120000);

// Makes Wine report `version` (win95, win98, nt351, nt40, win2k, winxp,
// win7, win10) to processes started from `exe_name` while the object lives:
// HKCU\Software\Wine\AppDefaults\<exe_name>\Version.
class ScopedWindowsVersion {
 public:
  ScopedWindowsVersion(const std::string& exe_name, const std::string& version);
  ~ScopedWindowsVersion();
  ScopedWindowsVersion(const ScopedWindowsVersion&) = delete;
  ScopedWindowsVersion& operator=(const ScopedWindowsVersion&) = delete;

 private:
  std::string key_;
};

// Switches the system library `dll` (e.g. "shell32") off for processes
// started from `exe_name` while the object lives, so that loading it fails
// there: HKCU\Software\Wine\AppDefaults\<exe_name>\DllOverrides. Create
// it before any ScopedWindowsVersion for the same program.
class ScopedDllOff {
 public:
  ScopedDllOff(const std::string& exe_name, const std::string& dll);
  ~ScopedDllOff();
  ScopedDllOff(const ScopedDllOff&) = delete;
  ScopedDllOff& operator=(const ScopedDllOff&) = delete;

 private:
  std::string key_;
};

// Runs this test program again, limited to the tests that gtest_filter
// selects, with Wine reporting `version` to it (as ScopedWindowsVersion)
// and the environment variable KEST_TEST_WINDOWS_VERSION set to version.
// Its output goes to this program's console; exit code 0: they passed.
ProcessResult RunThisProgramUnder(const std::string& version, const std::string& gtest_filter);
// RunThisProgramUnder for each version in turn; a test failure unless the
// selected tests pass under every one.
void ExpectTestsPassUnder(std::initializer_list<const char*> versions,
                          const std::string& gtest_filter);
// In a program started by RunThisProgramUnder, the version it asked for;
// null otherwise (the tests meant for such a run then skip themselves).
const char* RequestedWindowsVersion();

// A new empty folder under the temporary folder, removed with everything in
// it when the object goes.
class ScratchFolder {
 public:
  // Under the temporary folder, or under parent (without a trailing
  // backslash) when it is given.
  explicit ScratchFolder(const std::string& parent = "");
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  // The folder, without a trailing backslash.
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// A file held open by another process: hold_file.exe beside the running
// test program, started by the object and stopped by it, through the
// process it created, when it goes or on Release().
class FileHolder {
 public:
  enum class Mode {
    kExclusive,   // reading and writing, no sharing
    kSharedRead,  // reading, sharing read access: the file can still be
                  // read and loaded as a library, not written
  };
  explicit FileHolder(const std::string& path, Mode mode = Mode::kExclusive);
  ~FileHolder() { Release(); }
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;
  // True once the helper has the file open.
  bool holding() const { return holding_; }
  // Tells the helper to let go and waits for it to end.
  void Release();

 private:
  HANDLE ready_ = nullptr;
  HANDLE quit_ = nullptr;
  PROCESS_INFORMATION process_ = {};
  bool holding_ = false;
};

// A file beside the running test program (the build puts test libraries and
// helper programs there).
std::string BesideTestProgram(const std::string& name);

// The signed sample installer that scripts/sample.sh builds with kestpack
// from this build's installer: KEST_SIGNED_PACKAGE when set, else
// sample/MorvaneSetup.exe in this build's folder (build/win32 or build/win64).
std::string SampleInstallerPath();

bool ReadWholeFile(const std::string& path, std::string* contents);
bool WriteWholeFile(const std::string& path, const std::string& contents);
bool FileExists(const std::string& path);
// The names in a folder, without "." and "..".
std::vector<std::string> FolderContents(const std::string& folder);
// Gives the file the last-write time (100-ns units since 1601).
bool SetWriteTime(const std::string& path, uint64_t time);
// The text lower-cased as the system does (CharLowerA).
std::string Lower(std::string text);
void RemoveTree(const std::string& path);

// Makes link a Linux symbolic link to target (both Windows paths, without
// blanks), with Linux's own ln started from the Windows side: Wine shows a
// link to a folder as a reparse point and follows a link to a file unseen,
// which is what a link planted under Wine looks like. False on failure.
bool MakeUnixLink(const std::string& target, const std::string& link);

// The permissions a folder installed by the installer on Windows NT must
// have, in the system's descriptor language: Administrators and SYSTEM
// everything, Users read and run, each passed on to files and folders
// within, none taken from the parent.
constexpr char kInstalledFolderSddl[] =
    "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";

// The discretionary list of a security descriptor, or of a file's as the
// system reads it back, in the descriptor language; "<none>" on failure.
std::string DaclText(const void* descriptor);
std::string FileDaclText(const std::string& path);
// sddl as the system parses and writes it again.
std::string NormalSddl(const char* sddl);
// Creates folder with the descriptor sddl (null: the system's default).
bool CreateFolderWith(const std::string& folder, const char* sddl);

}  // namespace kest::test
