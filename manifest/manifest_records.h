// The records built from the two manifests. Every text points into the
// manifest's working copy (which must outlive the records); nullptr means
// the key was never given, which is not the same as an empty value.
// Records are linked in file order through next; a list is freed with
// ComponentListDeleter / DependencyListDeleter.
#pragma once

namespace kest {

// One section of the component manifest other than "[ObsoleteFiles]".
struct ComponentRecord {
  ComponentRecord* next = nullptr;
  char* header = nullptr;  // the whole header line, e.g. "[Component1]"
  char* name = nullptr;
  char* product = nullptr;
  char* version = nullptr;
  char* copyright = nullptr;
};

// A file whose version proves a dependency present (FileN / VersionN).
struct RequiredFile {
  char* file = nullptr;     // target path with an optional folder token
  char* version = nullptr;  // least version, cut in place when parsed
};

constexpr int kRequiredFiles = 4;

// One section of the dependency manifest, whatever its header.
struct DependencyRecord {
  DependencyRecord* next = nullptr;
  char* header = nullptr;                 // the whole header line, e.g. "[Dependencies]"
  char* registry_key = nullptr;           // Registry, before ':' (under HKEY_LOCAL_MACHINE)
  char* default_folder = nullptr;         // Default
  char* overwrite_always = nullptr;       // OverwriteAlways, stored only
  char* registry_value = nullptr;         // Registry, after ':'
  char* source_file = nullptr;            // Source, before ':' (below the installer folder)
  char* source_args = nullptr;            // Source, after ':'
  char* platform = nullptr;               // Platform
  RequiredFile required[kRequiredFiles];  // File1/Version1 .. File4/Version4
};

// Releases a list of records linked through their next fields.
struct ComponentListDeleter { void operator()(ComponentRecord* first) const; };
struct DependencyListDeleter { void operator()(DependencyRecord* first) const; };

}  // namespace kest
