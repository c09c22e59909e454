#include "base/system_api_win32.h"

#include "base/path_text.h"
#include "base/win32_procedure.h"

namespace kest {
namespace {

// Fills every function of a table from one library; false if any is missing.
class TableLoader {
 public:
  explicit TableLoader(const char* file_name) : module_(LoadSystemLibrary(file_name)) {}
  template <typename Function>
  void Get(Function* slot, const char* name) {
    *slot = module_ == nullptr ? nullptr : GetProcedure<Function>(module_, name);
    complete_ = complete_ && *slot != nullptr;
  }
  bool complete() const { return module_ != nullptr && complete_; }

 private:
  HMODULE module_;
  bool complete_ = true;
};

// One table per library: loaded at the first call, kept afterwards. A failed
// load is not retried; the run reports it once per use.
template <typename Table, typename Fill>
const Table* LoadOnce(Fill fill) {
  static Table table;
  static int state = 0;  // 0 not tried, 1 loaded, 2 failed
  if (state == 0) state = fill(&table) ? 1 : 2;
  return state == 1 ? &table : nullptr;
}

}  // namespace

void RestrictDllSearch() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return;
  using SetDefaultDirectories = BOOL(WINAPI*)(DWORD);
  using SetDirectory = BOOL(WINAPI*)(LPCSTR);
  constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  if (auto set_default = GetProcedure<SetDefaultDirectories>(kernel, "SetDefaultDllDirectories")) {
    set_default(kSearchSystem32);
  }
  // An empty text removes the current directory from the search order.
  if (auto set_directory = GetProcedure<SetDirectory>(kernel, "SetDllDirectoryA")) {
    set_directory("");
  }
}

HMODULE LoadSystemLibrary(const char* file_name) {
  char path[MAX_PATH];
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || !AppendPathName(path, sizeof(path), file_name)) {
    return nullptr;
  }
  return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

const RegistryApi* Registry() {
  return LoadOnce<RegistryApi>([](RegistryApi* api) {
    TableLoader advapi("advapi32.dll");
    advapi.Get(&api->open_key, "RegOpenKeyExA");
    advapi.Get(&api->create_key, "RegCreateKeyExA");
    advapi.Get(&api->close_key, "RegCloseKey");
    advapi.Get(&api->query_value, "RegQueryValueExA");
    advapi.Get(&api->set_value, "RegSetValueExA");
    advapi.Get(&api->delete_value, "RegDeleteValueA");
    advapi.Get(&api->enum_key, "RegEnumKeyExA");
    return advapi.complete();
  });
}

const VersionApi* Version() {
  return LoadOnce<VersionApi>([](VersionApi* api) {
    TableLoader version("version.dll");
    version.Get(&api->get_info_size, "GetFileVersionInfoSizeA");
    version.Get(&api->get_info, "GetFileVersionInfoA");
    version.Get(&api->query_value, "VerQueryValueA");
    return version.complete();
  });
}

const ComApi* Com() {
  return LoadOnce<ComApi>([](ComApi* api) {
    TableLoader ole("ole32.dll");
    ole.Get(&api->initialize, "CoInitialize");
    ole.Get(&api->uninitialize, "CoUninitialize");
    return ole.complete();
  });
}

const CommonDialogApi* CommonDialogs() {
  return LoadOnce<CommonDialogApi>([](CommonDialogApi* api) {
    TableLoader comdlg("comdlg32.dll");
    comdlg.Get(&api->get_open_file_name, "GetOpenFileNameA");
    return comdlg.complete();
  });
}

}  // namespace kest
