// InstallerContext: the object handed to every component's DllInstallInit.
// Components are compiled against its layout and the order of its
// operations (sdk/kestinst_component.h is their view of it), so both are an
// external interface and never change:
//
//   offset 32/64-bit  field               width
//   0      0          operations          pointer to the table below
//   4      8          size                u32: sizeof the object, 548 / 552
//   8      12         folder              262 UTF-16 units: the context text
//   532    536        replace_now         u32
//   536    540        delete_at_zero      u32: never set by the installer
//   540    544        options             u32: option bits set
//   544    548        supported_options   u32: always kContextOptionNp
//
//   slot  operation            slot  operation
//   0     Destructor           5     ReleaseSharedDllRef
//   1     SetFolder            6     GetReplaceNow
//   2     GetFolder            7     SetOption
//   3     SetReplaceNow        8     TestOption
//   4     AddSharedDllRef      9     IsOptionSupported
//
// Every operation takes the object first. On 32-bit x86 they are C++
// member functions of the Windows ABI (thiscall: the object in ECX, the
// rest on the stack, removed by the callee), so that components written as
// C++ classes or in C can call them; the x86-64 build has one convention.
// Slot 0 is a deleting destructor in the Windows C++ manner: bit 0 of its
// flag frees the object's memory as well.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#if defined(__i386__)
#define KEST_COMPONENT_METHOD __attribute__((thiscall))
#else
#define KEST_COMPONENT_METHOD
#endif

namespace kest {

struct InstallerContext;

struct InstallerContextOperations {
  InstallerContext*(KEST_COMPONENT_METHOD* Destructor)(InstallerContext* self, uint32_t flags);
  uint32_t(KEST_COMPONENT_METHOD* SetFolder)(InstallerContext* self, const wchar_t* path);
  const wchar_t*(KEST_COMPONENT_METHOD* GetFolder)(InstallerContext* self);
  void(KEST_COMPONENT_METHOD* SetReplaceNow)(InstallerContext* self, uint32_t value);
  int(KEST_COMPONENT_METHOD* AddSharedDllRef)(InstallerContext* self, const wchar_t* path);
  int(KEST_COMPONENT_METHOD* ReleaseSharedDllRef)(InstallerContext* self, const wchar_t* path);
  uint32_t(KEST_COMPONENT_METHOD* GetReplaceNow)(InstallerContext* self);
  int(KEST_COMPONENT_METHOD* SetOption)(InstallerContext* self, uint32_t bits, int on);
  int(KEST_COMPONENT_METHOD* TestOption)(InstallerContext* self, uint32_t bits);
  int(KEST_COMPONENT_METHOD* IsOptionSupported)(InstallerContext* self, uint32_t bits);
};

// The folder field: 261 UTF-16 units and the terminator.
constexpr size_t kContextFolderUnits = 262;
// SetFolder's result for a path that cannot be read or does not fit.
constexpr uint32_t kFolderRefused = 0xFFFFFFFF;
// The only option bit; the registration pass sets it for /NP.
constexpr uint32_t kContextOptionNp = 1;
// Destructor flag: free the object's memory too.
constexpr uint32_t kDestroyFreesMemory = 1;

struct InstallerContext {
  const InstallerContextOperations* operations;
  uint32_t size;
  wchar_t folder[kContextFolderUnits];
  uint32_t replace_now;
  uint32_t delete_at_zero;
  uint32_t options;
  uint32_t supported_options;

  // Calls through the table, as a component makes them.
  uint32_t SetFolder(const wchar_t* path) { return operations->SetFolder(this, path); }
  const wchar_t* GetFolder() { return operations->GetFolder(this); }
  void SetReplaceNow(uint32_t value) { operations->SetReplaceNow(this, value); }
  int AddSharedDllRef(const wchar_t* path) { return operations->AddSharedDllRef(this, path); }
  int ReleaseSharedDllRef(const wchar_t* path) {
    return operations->ReleaseSharedDllRef(this, path);
  }
  uint32_t GetReplaceNow() { return operations->GetReplaceNow(this); }
  int SetOption(uint32_t bits, int on) { return operations->SetOption(this, bits, on); }
  int TestOption(uint32_t bits) { return operations->TestOption(this, bits); }
  int IsOptionSupported(uint32_t bits) { return operations->IsOptionSupported(this, bits); }
};

static_assert(sizeof(wchar_t) == 2, "the folder is UTF-16");
static_assert(offsetof(InstallerContext, folder) == sizeof(void*) + 4, "layout");
static_assert(sizeof(InstallerContext) == (sizeof(void*) == 4 ? 548 : 552), "layout");

// Creates the object for one run of the file installation: size set, the
// folder from context_text (the /I value, ANSI) converted to UTF-16, the
// flags and options clear, option kContextOptionNp supported. A text that
// does not fit the folder is left out (the folder stays empty) rather than
// cut. Null when out of memory.
InstallerContext* CreateInstallerContext(const char* context_text);

// Destroys an object made by CreateInstallerContext. The installer's own
// destructor is called directly, not through the table, which a faulty
// component could have overwritten.
void DestroyInstallerContext(InstallerContext* context);
struct InstallerContextDeleter {
  void operator()(InstallerContext* context) const { DestroyInstallerContext(context); }
};
using InstallerContextPtr = std::unique_ptr<InstallerContext, InstallerContextDeleter>;

}  // namespace kest
