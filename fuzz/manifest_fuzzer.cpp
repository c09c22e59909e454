// Feeds arbitrary text to both manifest readers, as the installer would meet
// it in a package entry, and checks what they build: every text of every
// record lies inside the working copy and ends there, path values fit a
// path buffer, and the version texts can be cut afterwards as the
// dependency pass does. The first input byte chooses which signature is put
// in front of the rest, so the fuzzer need not find it first.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/text_limits.h"
#include "manifest/manifest_text.h"
#include "manifest/version_text.h"

namespace {

class QuietEvents : public kest::ManifestEvents {
 public:
  void KeyLineRejected(uint32_t, const char* line, kest::KeyLineFault) override {
    volatile size_t length = strlen(line);  // the line must be readable
    (void)length;
  }
  bool RetryAllocation() override { return false; }
};

// A record text: absent, or a NUL-terminated text inside [begin, end].
void CheckText(const char* text, const char* begin, const char* end, size_t limit) {
  if (text == nullptr) return;
  if (text < begin || text > end) __builtin_trap();
  size_t length = strnlen(text, static_cast<size_t>(end - text) + 1);
  if (text + length > end || length > limit) __builtin_trap();
}

void ReadBoth(const std::string& input) {
  QuietEvents events;
  const uint32_t size = static_cast<uint32_t>(input.size());
  const size_t any = static_cast<size_t>(-1);

  kest::ComponentManifest components;
  if (ParseComponentManifestText(input.data(), size, events, &components) ==
      kest::ManifestRead::kRead) {
    const char* begin = components.text.get();
    for (const kest::ComponentRecord* r = components.components.get(); r != nullptr; r = r->next) {
      for (const char* t : {r->header, r->name, r->product, r->version, r->copyright}) {
        CheckText(t, begin, begin + size, any);
      }
    }
    if (components.obsolete_files) {
      uint32_t count = 0;
      for (const kest::StringList::Node* n = components.obsolete_files->head(); n; n = n->next) {
        CheckText(n->text, n->text, n->text + strlen(n->text), any);
        ++count;
      }
      if (count != components.obsolete_files->count()) __builtin_trap();
    }
  }

  kest::DependencyManifest dependencies;
  if (ParseDependencyManifestText(input.data(), size, events, &dependencies) ==
      kest::ManifestRead::kRead) {
    const char* begin = dependencies.text.get();
    const char* end = begin + size;
    const size_t path = kest::kPathChars - 1;
    for (kest::DependencyRecord* r = dependencies.dependencies.get(); r != nullptr; r = r->next) {
      for (const char* t : {r->header, r->registry_key, r->overwrite_always, r->registry_value,
                            r->source_args, r->platform}) {
        CheckText(t, begin, end, any);
      }
      CheckText(r->default_folder, begin, end, path);
      CheckText(r->source_file, begin, end, path);
      for (kest::RequiredFile& f : r->required) {
        CheckText(f.file, begin, end, path);
        CheckText(f.version, begin, end, any);
        kest::VersionParts version;
        if (f.version != nullptr) kest::ParseVersionText(f.version, &version);
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > (1u << 20)) return 0;
  static const char* const kSignatures[] = {"[Component", "[Dependencies]", ""};
  std::string input = kSignatures[data[0] % 3];
  input.append(reinterpret_cast<const char*>(data) + 1, size - 1);
  ReadBoth(input);
  return 0;
}
