// A sample component of the pack, the Morvane Grid control: a
// self-registering library (OLESelfRegister in its version resource) built
// against the public component header, as a vendor would build one.
//
// It shows the installer's protocol around registration: DllInstallInit
// keeps the installer context object for the duration of the install call,
// and the grid, a library that several products share, keeps the system's
// shared-library count of its own file through it: one reference while it
// is registered by an installer. Registered without an installer (by a
// registration tool, which calls no DllInstallInit), it counts nothing.
#include <windows.h>

#include "kestinst_component.h"

namespace {

HINSTANCE g_module = nullptr;
// The installer's object between DllInstallInit and DllInstallShutdown;
// it is not valid outside that span.
KestInstallerContext* g_installer = nullptr;

// The grid's own full path, as the installer loaded it.
bool OwnPath(WCHAR (&path)[MAX_PATH]) {
  char ansi[MAX_PATH];
  DWORD length = GetModuleFileNameA(g_module, ansi, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  return MultiByteToWideChar(CP_ACP, 0, ansi, -1, path, MAX_PATH) > 0;
}

// Raises (up) or lowers the shared count of the grid's file. The count is
// kept where the system has the place for it (a fresh system may have no
// SharedDlls key yet); registration does not fail for it.
void CountSelf(bool up) {
  WCHAR path[MAX_PATH];
  if (g_installer == nullptr || !OwnPath(path)) return;
  if (up) {
    g_installer->AddSharedDllRef(path);
  } else {
    g_installer->ReleaseSharedDllRef(path);
  }
}

}  // namespace

extern "C" {

__declspec(dllexport) HRESULT STDAPICALLTYPE DllInstallInit(KestInstallerContext* context) {
  g_installer = context;
  return S_OK;
}

// A real control would write its class registration here as well.
__declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() {
  CountSelf(true);
  return S_OK;
}

__declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer() {
  CountSelf(false);
  return S_OK;
}

__declspec(dllexport) HRESULT STDAPICALLTYPE DllInstallShutdown() {
  g_installer = nullptr;
  return S_OK;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = module;
  return TRUE;
}
