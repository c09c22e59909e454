/* A library that a component needs, shipped beside it in the pack. */
#include <windows.h>

__declspec(dllexport) HRESULT SiblingResult(void) { return S_OK; }
