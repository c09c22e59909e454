#include "install/installer_context_win32.h"

#include <new>

#include "base/text_limits.h"
#include "install/component_text_win32.h"
#include "install/shared_dll_counts_win32.h"
#include "manifest/context_text_win32.h"

namespace kest {
namespace {

// The operations, in table order. Each is called with the object first, in
// the convention the table declares.

KEST_COMPONENT_METHOD InstallerContext* Destroy(InstallerContext* self, uint32_t flags) {
  if ((flags & kDestroyFreesMemory) != 0) delete self;
  return self;
}

KEST_COMPONENT_METHOD uint32_t SetFolder(InstallerContext* self, const wchar_t* path) {
  size_t length;
  if (!MeasureComponentText(path, kContextFolderUnits - 1, &length)) return kFolderRefused;
  if (length == 0) return 0;
  for (size_t i = 0; i <= length; ++i) self->folder[i] = path[i];
  return static_cast<uint32_t>(length);
}

KEST_COMPONENT_METHOD const wchar_t* GetFolder(InstallerContext* self) { return self->folder; }

KEST_COMPONENT_METHOD void SetReplaceNow(InstallerContext* self, uint32_t value) {
  self->replace_now = value;
}

KEST_COMPONENT_METHOD int AddSharedDll(InstallerContext*, const wchar_t* path) {
  return AddSharedDllRef(path) ? 1 : 0;
}

KEST_COMPONENT_METHOD int ReleaseSharedDll(InstallerContext* self, const wchar_t* path) {
  return ReleaseSharedDllRef(path, self->delete_at_zero != 0) ? 1 : 0;
}

KEST_COMPONENT_METHOD uint32_t GetReplaceNow(InstallerContext* self) { return self->replace_now; }

KEST_COMPONENT_METHOD int SetOption(InstallerContext* self, uint32_t bits, int on) {
  // Through the table, so that the support test is the one components see.
  // Once accepted, every bit asked for is set or cleared, those beside the
  // supported one included: components read back what they set.
  if (!self->IsOptionSupported(bits)) return 0;
  if (on) {
    self->options |= bits;
  } else {
    self->options &= ~bits;
  }
  return 1;
}

KEST_COMPONENT_METHOD int TestOption(InstallerContext* self, uint32_t bits) {
  return (self->options & bits) != 0 ? 1 : 0;
}

KEST_COMPONENT_METHOD int IsOptionSupported(InstallerContext* self, uint32_t bits) {
  return (self->supported_options & bits) != 0 ? 1 : 0;
}

const InstallerContextOperations kOperations = {
    Destroy,         SetFolder,     GetFolder, SetReplaceNow, AddSharedDll,
    ReleaseSharedDll, GetReplaceNow, SetOption, TestOption,    IsOptionSupported,
};

}  // namespace

InstallerContext* CreateInstallerContext(const char* context_text) {
  auto* context = new (std::nothrow) InstallerContext();
  if (context == nullptr) return nullptr;
  context->operations = &kOperations;
  context->size = sizeof(InstallerContext);
  context->supported_options = kContextOptionNp;
  wchar_t wide[kPathChars];
  if (ConvertContextText(context_text, wide)) context->SetFolder(wide);
  return context;
}

void DestroyInstallerContext(InstallerContext* context) { Destroy(context, kDestroyFreesMemory); }

}  // namespace kest
