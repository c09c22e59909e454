// The two manifests as texts: recognising them, and building their records
// from a copy of the text. Used by the installer's readers (manifest_reader.h)
// and by kestpack, so that both see the same records and the same faults.
//
// A manifest is recognised only by its first bytes, letters A-Z and a-z
// equal: "[Component" (10 bytes) for the component manifest and
// "[Dependencies]" (14 bytes) for the dependency manifest. Nothing may stand
// before them, not even a blank or a byte-order mark.
//
// Lines (see line_splitter.h), after their leading blanks:
//   empty                  ignored
//   ';' or '/' first       comment, ignored
//   '[' first              section header; the whole line is the header text
//   anything else          key line (key_line.h), or an obsolete file
//
// Component manifest: "[ObsoleteFiles]" exactly (byte for byte, nothing
// after the ']') starts a fresh obsolete-files list, dropping an earlier
// one; its lines are kept whole, from the first non-blank character. Every
// other header starts a ComponentRecord. Dependency manifest: every header
// starts a DependencyRecord.
#pragma once
#include <cstdint>
#include <memory>

#include "manifest/key_line.h"
#include "manifest/manifest_records.h"
#include "manifest/string_list.h"

namespace kest {

// What the installer or a tool does about what the walk meets.
class ManifestEvents {
 public:
  virtual ~ManifestEvents() = default;
  // A key line was skipped. line is exactly as written from its first
  // non-blank character; line_number counts from 1.
  virtual void KeyLineRejected(uint32_t line_number, const char* line, KeyLineFault fault) = 0;
  // A line of the "[ObsoleteFiles]" section, as kept, before it is kept.
  virtual void ObsoleteLineRead(uint32_t /*line_number*/, const char* /*line*/) {}
  // An allocation failed. True: try it again. False: abandon the manifest.
  virtual bool RetryAllocation() = 0;
};

enum class ManifestRead {
  kRead,         // the text was walked; the result holds what it built
  kNotManifest,  // the signature is missing; nothing was done
  kOutOfMemory,  // abandoned after a failed allocation; nothing is kept
};

struct ComponentManifest {
  std::unique_ptr<char[]> text;  // working copy the records point into
  std::unique_ptr<ComponentRecord, ComponentListDeleter> components;
  std::unique_ptr<StringList> obsolete_files;  // the last "[ObsoleteFiles]" section
};

struct DependencyManifest {
  std::unique_ptr<char[]> text;  // working copy the records point into
  std::unique_ptr<DependencyRecord, DependencyListDeleter> dependencies;
  bool has_dependencies = false;  // some key line set a field
};

bool IsComponentManifest(const char* data, uint32_t size);
bool IsDependencyManifest(const char* data, uint32_t size);

// Copy the size bytes at data (any bytes; the first NUL ends the text) and
// build the records. *out is written only on kRead.
ManifestRead ParseComponentManifestText(const char* data, uint32_t size, ManifestEvents& events,
                                        ComponentManifest* out);
ManifestRead ParseDependencyManifestText(const char* data, uint32_t size, ManifestEvents& events,
                                         DependencyManifest* out);

}  // namespace kest
