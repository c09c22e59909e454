/* A self-registering component that imports a library shipped beside it:
   it loads only when its own folder is searched for that library. */
#include <windows.h>

__declspec(dllimport) HRESULT SiblingResult(void);

__declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer(void) { return SiblingResult(); }
