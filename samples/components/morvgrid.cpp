// A sample component of the pack: a self-registering library with a version
// resource. Its entry points only report success; the sample pack uses it
// to show version-aware installation.
#include <windows.h>

extern "C" {

__declspec(dllexport) HRESULT __stdcall DllRegisterServer() { return S_OK; }
__declspec(dllexport) HRESULT __stdcall DllUnregisterServer() { return S_OK; }

}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
