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

#include "base/install_codes.h"

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
  if (block == nullptr) ExitProcess(kest::kCodeOutOfMemory);
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
extern "C" void __cxa_pure_virtual() { ExitProcess(kest::kCodeSystemError); }

namespace std {
// Referenced by `new (std::nothrow)`; the library's definition would drag in
// the library's own operators.
const nothrow_t nothrow{};
}  // namespace std

// ---------------------------------------------------------------------------
// Process entry without a C runtime DLL. Windows 95 as first shipped has no
// msvcrt.dll, so the installer brings the little it needs of a C runtime:
// the entry point, the global constructors, and the memory and string
// functions that the compiler and the portable code call.

extern "C" {

void* malloc(std::size_t size) { return Allocate(size); }
void free(void* block) { Release(block); }
void* realloc(void* block, std::size_t size) {
  if (block == nullptr) return Allocate(size);
  return HeapReAlloc(GetProcessHeap(), 0, block, size == 0 ? 1 : size);
}
void* calloc(std::size_t count, std::size_t size) {
  if (size != 0 && count > static_cast<std::size_t>(-1) / size) return nullptr;
  return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, count * size == 0 ? 1 : count * size);
}

// These must not be compiled into calls of themselves: the file is built
// with -fno-builtin and without loop-to-library-call distribution.
void* memcpy(void* target, const void* source, std::size_t count) {
  auto* t = static_cast<unsigned char*>(target);
  auto* s = static_cast<const unsigned char*>(source);
  while (count-- > 0) *t++ = *s++;
  return target;
}

void* memmove(void* target, const void* source, std::size_t count) {
  auto* t = static_cast<unsigned char*>(target);
  auto* s = static_cast<const unsigned char*>(source);
  if (t < s) {
    while (count-- > 0) *t++ = *s++;
  } else {
    while (count-- > 0) t[count] = s[count];
  }
  return target;
}

void* memset(void* target, int value, std::size_t count) {
  auto* t = static_cast<unsigned char*>(target);
  while (count-- > 0) *t++ = static_cast<unsigned char>(value);
  return target;
}

int memcmp(const void* a, const void* b, std::size_t count) {
  auto* x = static_cast<const unsigned char*>(a);
  auto* y = static_cast<const unsigned char*>(b);
  for (; count > 0; --count, ++x, ++y) {
    if (*x != *y) return *x < *y ? -1 : 1;
  }
  return 0;
}

void* memchr(const void* block, int value, std::size_t count) {
  auto* p = static_cast<const unsigned char*>(block);
  for (; count > 0; --count, ++p) {
    if (*p == static_cast<unsigned char>(value)) return const_cast<unsigned char*>(p);
  }
  return nullptr;
}

std::size_t strlen(const char* text) {
  std::size_t n = 0;
  while (text[n] != '\0') ++n;
  return n;
}

char* strchr(const char* text, int value) {
  const char wanted = static_cast<char>(value);
  for (;; ++text) {
    if (*text == wanted) return const_cast<char*>(text);
    if (*text == '\0') return nullptr;
  }
}

int strcmp(const char* a, const char* b) {
  for (; *a != '\0' && *a == *b; ++a, ++b) {
  }
  return static_cast<unsigned char>(*a) - static_cast<unsigned char>(*b);
}

int strncmp(const char* a, const char* b, std::size_t count) {
  for (; count > 0; --count, ++a, ++b) {
    if (*a != *b || *a == '\0') return static_cast<unsigned char>(*a) - static_cast<unsigned char>(*b);
  }
  return 0;
}

// The linker's list of global constructors: a count (or -1), the
// functions, and a terminating null.
using Constructor = void (*)();
extern Constructor __CTOR_LIST__[];

// Destructors of global objects, registered by their constructors and run
// in reverse order when WinMain returns.
constexpr int kMaxExitFunctions = 32;
Constructor g_exit_functions[kMaxExitFunctions];
int g_exit_count = 0;

int atexit(Constructor function) {
  if (g_exit_count == kMaxExitFunctions) return -1;
  g_exit_functions[g_exit_count++] = function;
  return 0;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int);

// The process entry point (linked with -e). The command line handed to
// WinMain is the process's without the program name, as a C runtime would
// hand it.
void __stdcall InstallerEntry() {
  std::size_t count = 0;
  while (__CTOR_LIST__[count + 1] != nullptr) ++count;
  while (count > 0) __CTOR_LIST__[count--]();

  char* line = GetCommandLineA();
  bool quoted = false;
  for (; *line != '\0' && (quoted || (*line != ' ' && *line != '\t')); ++line) {
    if (*line == '"') quoted = !quoted;
  }
  while (*line == ' ' || *line == '\t') ++line;

  STARTUPINFOA startup;
  startup.cb = sizeof(startup);
  GetStartupInfoA(&startup);
  int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
  UINT exit_code = static_cast<UINT>(WinMain(GetModuleHandleA(nullptr), nullptr, line, show));
  while (g_exit_count > 0) g_exit_functions[--g_exit_count]();
  ExitProcess(exit_code);
}

}  // extern "C"
