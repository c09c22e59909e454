#include "ui/browse_folder_win32.h"

#include <commdlg.h>
#include <shlobj.h>

#include "base/system_api_win32.h"
#include "base/text_limits.h"
#include "base/win32_procedure.h"
#include "resources/resource_ids.h"

namespace kest {
namespace {

// ---- Windows NT: the file-open dialog as a folder picker -----------------
//
// Template 105 shows only the folder list and the drives; the dialog keeps
// the process's current directory on the folder the person has opened, and
// that folder (shown at the top) is the answer, whatever is highlighted in
// the list. The hook takes it when OK is pressed and ends the dialog itself.

constexpr WPARAM kAbortCommand = 3;  // ends an old-style file dialog from its hook

UINT_PTR CALLBACK BrowseHook(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lparam);
  } else if (message == WM_COMMAND && LOWORD(wparam) == IDOK) {
    auto* params = reinterpret_cast<OPENFILENAMEA*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (params != nullptr) {
      auto* folder = reinterpret_cast<char*>(params->lCustData);
      DWORD n = GetCurrentDirectoryA(kPathChars, folder);
      if (n == 0 || n >= kPathChars) folder[0] = '\0';
      // The dialog's own answer (a file name) must not reach the caller.
      params->lpstrFile = nullptr;
      // Value 1: the dialog ends as if a file had been chosen.
      PostMessageA(dialog, WM_COMMAND, kAbortCommand, 1);
    }
  }
  return 0;  // the dialog goes on with its own handling
}

void BrowseWithFileDialog(HWND owner, char* folder, const char* start) {
  const CommonDialogApi* comdlg = CommonDialogs();
  if (comdlg == nullptr) return;
  folder[0] = '\0';
  OPENFILENAMEA params = {};
  params.lStructSize = sizeof(params);
  params.hwndOwner = owner;
  params.hInstance = owner != nullptr
                         ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE))
                         : GetModuleHandleA(nullptr);
  params.nFilterIndex = 1;
  params.lpstrFile = folder;
  params.nMaxFile = kPathChars;
  params.nMaxFileTitle = kPathChars;
  params.lpstrInitialDir = start[0] != '\0' ? start : nullptr;
  params.lpstrTitle = "Browse";
  params.Flags = OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST |
                 OFN_NOTESTFILECREATE;
  params.lCustData = reinterpret_cast<LPARAM>(folder);
  params.lpfnHook = BrowseHook;
  params.lpTemplateName = MAKEINTRESOURCEA(IDD_BROWSE_FOLDER);
  // The answer is whatever the hook wrote; the dialog's result says nothing
  // more (the hook's ending reads as success, Cancel as failure).
  comdlg->get_open_file_name(&params);
}

// ---- Windows 95 family: the shell's folder browser ------------------------
//
// shell32 is loaded from the system folder when Browse is first pressed.
// When it or one of its entry points is missing it is unloaded again and
// the next Browse tries again; once complete it stays loaded.

struct ShellApi {
  HMODULE module;
  decltype(&SHBrowseForFolderA) browse_for_folder;
  decltype(&SHGetPathFromIDListA) get_path_from_id_list;
  decltype(&SHGetSpecialFolderLocation) get_special_folder_location;
  // The shell's allocator, which owns the item list the browser returns.
  // Optional: without it the list is left allocated.
  decltype(&SHGetMalloc) get_malloc;
};

ShellApi g_shell = {};

const ShellApi* Shell() {
  if (g_shell.module != nullptr) return &g_shell;
  ShellApi api = {};
  api.module = LoadSystemLibrary("shell32.dll");
  if (api.module == nullptr) return nullptr;
  api.browse_for_folder =
      GetProcedure<decltype(api.browse_for_folder)>(api.module, "SHBrowseForFolder");
  api.get_path_from_id_list =
      GetProcedure<decltype(api.get_path_from_id_list)>(api.module, "SHGetPathFromIDList");
  api.get_special_folder_location = GetProcedure<decltype(api.get_special_folder_location)>(
      api.module, "SHGetSpecialFolderLocation");
  api.get_malloc = GetProcedure<decltype(api.get_malloc)>(api.module, "SHGetMalloc");
  if (api.browse_for_folder == nullptr || api.get_path_from_id_list == nullptr ||
      api.get_special_folder_location == nullptr) {
    FreeLibrary(api.module);
    return nullptr;
  }
  g_shell = api;
  return &g_shell;
}

// Opens the browser with the caller's folder selected.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
  const char* folder = reinterpret_cast<const char*>(data);
  if (message == BFFM_INITIALIZED && folder != nullptr && folder[0] != '\0') {
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, data);
  }
  return 0;
}

void FreeItemList(const ShellApi& shell, LPITEMIDLIST list) {
  IMalloc* allocator = nullptr;
  if (shell.get_malloc == nullptr || FAILED(shell.get_malloc(&allocator))) return;
  allocator->Free(list);
  allocator->Release();
}

void BrowseWithShell(HWND owner, char* folder) {
  const ShellApi* shell = Shell();
  if (shell == nullptr) return;
  // The browser writes the chosen item's display name ("Desktop", say) here;
  // only a file-system path ever reaches the caller's buffer.
  char display_name[kPathChars];
  BROWSEINFOA info = {};
  info.hwndOwner = owner;
  info.pszDisplayName = display_name;
  info.lpszTitle = "";
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(folder);
  LPITEMIDLIST chosen = shell->browse_for_folder(&info);
  if (chosen == nullptr) return;
  char path[kPathChars];
  if (shell->get_path_from_id_list(chosen, path)) lstrcpynA(folder, path, kPathChars);
  FreeItemList(*shell, chosen);
}

bool IsWindowsNt() { return (GetVersion() & 0x80000000u) == 0; }

}  // namespace

void BrowseForFolder(HWND owner, char* folder) {
  char saved[kPathChars];
  DWORD n = GetCurrentDirectoryA(kPathChars, saved);
  if (n == 0 || n >= kPathChars) saved[0] = '\0';

  if (IsWindowsNt()) {
    BrowseWithFileDialog(owner, folder, saved);
  } else {
    BrowseWithShell(owner, folder);
  }
  // The current directory is left where the dialog put it (on Windows NT the
  // folder the person opened last): the next Browse starts there, and the
  // installation makes the destination current before it uses it.
}

}  // namespace kest
