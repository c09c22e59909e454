#include "install/self_registration_win32.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <new>

#include "archive/win32_file_source.h"
#include "base/format_text.h"
#include "base/install_codes.h"
#include "base/install_log.h"
#include "base/install_options.h"
#include "base/install_status.h"
#include "base/text_limits.h"
#include "install/version_key_scan.h"
#include "install/version_resource_win32.h"
#include "resources/string_ids.h"

namespace kest {
namespace {

using InstallInitProc = HRESULT(WINAPI*)(InstallerContext* context);
using EntryProc = HRESULT(WINAPI*)();

// The name made full against the current directory, which is where the
// file copy put a name without a folder. False when it does not fit.
bool MakeFullPath(const char* name, char (&full)[kPathChars]) {
  char* file_part;
  DWORD length = GetFullPathNameA(name, kPathChars, full, &file_part);
  return length != 0 && length < kPathChars;
}

bool HasRegisteringExtension(const char* path) {
  size_t length = strlen(path);
  if (length < 4) return false;
  const char* extension = path + length - 4;
  return strcmp(extension, ".dll") == 0 || strcmp(extension, ".ocx") == 0;
}

// A component library loaded by its full path, unloaded when the object
// goes or when Unload is called.
class ComponentLibrary {
 public:
  explicit ComponentLibrary(const char* full_path) {
    // A library that fails to load is reported by the caller; the system's
    // own message boxes (a missing dependency, a missing disk) would stop a
    // silent run.
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
    module_ = LoadLibraryExA(full_path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    SetErrorMode(previous);
  }
  ~ComponentLibrary() { Unload(); }
  ComponentLibrary(const ComponentLibrary&) = delete;
  ComponentLibrary& operator=(const ComponentLibrary&) = delete;

  bool loaded() const { return module_ != nullptr; }

  // The export name when it is there and leads to code, else null.
  template <typename Proc>
  Proc Find(const char* name) const {
    FARPROC entry = GetProcAddress(module_, name);
    if (entry == nullptr || IsBadCodePtr(entry)) return nullptr;
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(entry));
  }

  void Unload() {
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
  }

 private:
  HMODULE module_ = nullptr;
};

void ReportRegistrationError(const char* name) {
  ReportError(kCodeSelfRegisterFailed, kButtonsExitOnly, name, IDS_LABEL_FILE);
}

// During unregistration every failure is shown and forgotten at once.
void ReportAndClear(HRESULT result, const char* path) {
  if (SUCCEEDED(result)) return;
  ReportRegistrationError(path);
  ResetStatus();
}

// A component may set the delete-at-zero flag in the object for its own
// shared files; it must not carry over to the next component's counts.
void EndComponentCalls(InstallerContext& context) { context.delete_at_zero = 0; }

enum class Outcome { kNotSelfRegistering, kDone, kRegisterFailed };

Outcome RegisterLibrary(const char* name, InstallerContext& context) {
  char full[kPathChars];
  if (!IsSelfRegistering(name) || !MakeFullPath(name, full)) return Outcome::kNotSelfRegistering;

  LogFormat("Loading \"%s\" for registration", name);
  ComponentLibrary library(full);
  if (!library.loaded()) {
    ReportRegistrationError(name);
    LogLine(" ");
    return Outcome::kDone;
  }
  if (auto init = library.Find<InstallInitProc>("DllInstallInit")) {
    LogFormat("Calling DllInstallInit in \"%s\"", name);
    init(&context);
  }
  Outcome outcome = Outcome::kDone;
  if (auto register_server = library.Find<EntryProc>("DllRegisterServer")) {
    LogFormat("Calling DllRegisterServer in \"%s\"", name);
    if (FAILED(register_server())) {
      ReportRegistrationError(name);
      outcome = Outcome::kRegisterFailed;
    }
  }
  if (auto shutdown = library.Find<EntryProc>("DllInstallShutdown")) {
    LogFormat("Calling DllInstallShutdown in \"%s\"", name);
    shutdown();
  }
  EndComponentCalls(context);
  LogFormat("Unloading \"%s\"", name);
  library.Unload();
  LogLine(" ");
  return outcome;
}

constexpr char kSelfRegisterValue[] = "OLESelfRegister";

// False only when the file's bytes cannot hold the value's name
// (install/version_key_scan.h), which spares the version library's slow
// reading of every library without it. Whatever stops the reading leaves
// the answer to the version library.
bool MayDeclareSelfRegistration(const char* full_path) {
  constexpr DWORD kPiece = 64 * 1024;
  Win32File file;
  if (OpenFileForReading(full_path, FILE_FLAG_SEQUENTIAL_SCAN, &file) != 0) return true;
  std::unique_ptr<uint8_t[]> piece(new (std::nothrow) uint8_t[kPiece]);
  if (!piece) return true;
  VersionKeyScan scan(kSelfRegisterValue);
  DWORD got = 0;
  do {
    if (!ReadFile(file.get(), piece.get(), kPiece, &got, nullptr)) return true;
    scan.Feed(piece.get(), got);
  } while (got != 0 && !scan.MayHold());
  return scan.MayHold();
}

}  // namespace

bool IsSelfRegistering(const char* path) {
  char full[kPathChars];
  if (!HasRegisteringExtension(path) || !MakeFullPath(path, full)) return false;
  if (!MayDeclareSelfRegistration(full)) return false;
  VersionResource version;
  return version.Load(full) && version.HasString(kSelfRegisterValue);
}

bool RegisterInstalledFiles(uint32_t& options, const StringList& installed_files,
                            InstallerContext& context, Progress& progress, HeldFiles* held) {
  if ((options & kOptionNoRegistration) != 0) return true;
  if ((options & kOptionContextBit) != 0) context.SetOption(kContextOptionNp, 1);

  // "Configuring %s": the module's string, so that the status line reads as
  // the installer's other texts do. One that does not load shows nothing.
  char format[kTextBytes];
  if (LoadStringA(GetModuleHandleA(nullptr), IDS_CONFIGURING_FILE, format, sizeof(format)) <= 0) {
    format[0] = '\0';
  }
  char status_line[kTextBytes];
  for (const StringList::Node* node = installed_files.head(); node != nullptr; node = node->next) {
    FormatText(status_line, sizeof(status_line), format, node->text);
    progress.ShowProgressText(status_line);
    if (held != nullptr && held->IsPlain(node->text)) continue;
    Outcome outcome = RegisterLibrary(node->text, context);
    if (held != nullptr) held->Release(node->text);
    if (outcome == Outcome::kNotSelfRegistering) continue;
    if (outcome == Outcome::kRegisterFailed) options |= kStateRegistrationFailed;
    progress.PumpMessages();
  }
  return true;
}

bool UnregisterLibrary(const char* path, InstallerContext& context, UnregisterForm form,
                       bool in_use) {
  LogFormat("Loading \"%s\" for unregistration", path);
  char full[kPathChars];
  if (!MakeFullPath(path, full)) return false;
  ComponentLibrary library(full);
  if (!library.loaded()) return false;

  if (auto init = library.Find<InstallInitProc>("DllInstallInit")) {
    LogFormat("Calling DllInstallInit in \"%s\"", path);
    ReportAndClear(init(&context), path);
  }
  // An old copy in use stays registered until the restart replaces it,
  // unless its DllInstallInit has just asked for the replacement now.
  const bool deferred = form == UnregisterForm::kReplacement && in_use && context.replace_now == 0;
  if (!deferred) {
    LogFormat("Calling DllUnregisterServer in \"%s\"", path);
    if (auto unregister_server = library.Find<EntryProc>("DllUnregisterServer")) {
      ReportAndClear(unregister_server(), path);
    }
  }
  if (auto shutdown = library.Find<EntryProc>("DllInstallShutdown")) {
    LogFormat("Calling DllInstallShutdown in \"%s\"", path);
    ReportAndClear(shutdown(), path);
  }
  EndComponentCalls(context);
  LogFormat("Unloading \"%s\"", path);
  library.Unload();
  return !deferred;
}

}  // namespace kest
