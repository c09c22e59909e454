// Typed lookup of an exported function, for entry points that must be
// found at run time (functions a Windows family may lack, components'
// self-registration entry points).
#pragma once
#include <windows.h>

namespace kest {

// The export `name` of `module` as a pointer of type Function, or null.
// The detour through void* states that the caller knows the real signature.
template <typename Function>
Function GetProcedure(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace kest
