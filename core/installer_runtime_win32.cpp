// The installer's own memory operators and the few runtime hooks the
// compiler asks for, on the process heap.
//
// The installer is built without exceptions. The C++ library's operators
// would bring its whole exception machinery (and a thread library) into the
// image only to report a failed allocation, which our code checks itself:
// every allocation in the installer is `new (std::nothrow)` or goes through
// these operators, and a null result is reported as out of memory.
#include <windows.h>

#include <cstddef>
#include <new>

namespace {

void* Allocate(std::size_t size) {
  return HeapAlloc(GetProcessHeap(), 0, size == 0 ? 1 : size);
}

void Release(void* block) {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace

// The throwing forms cannot throw here; no installer code relies on them,
// and a failure ends the process with the out-of-memory install code rather
// than returning a null pointer that the caller does not check.
void* operator new(std::size_t size) {
  void* block = Allocate(size);
  if (block == nullptr) ExitProcess(0x8040F008);
  return block;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }

void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }

// A pure virtual function called through a half-built or destroyed object.
extern "C" void __cxa_pure_virtual() { ExitProcess(0x8040FFFF); }

namespace std {
// Referenced by `new (std::nothrow)`; the library's definition would drag in
// the library's own operators.
const nothrow_t nothrow{};
}  // namespace std
