// InstallRecord: the per-run record that every step of the install reads
// and writes. Created zero-filled (options: UI level 3) at the start of the
// install sequence and destroyed at its end; it owns the package reader, the
// manifests' working copies with the records that point into them, and the
// three string lists.
//
// Window and module handles are declared through their opaque handle
// structures, which are the very types windows.h uses, so the record stays
// portable and the host tests can build one.
#pragma once
#include <cstdint>
#include <memory>

#include "base/install_options.h"
#include "base/text_limits.h"
#include "manifest/manifest_records.h"

struct HINSTANCE__;
struct HWND__;

namespace kest {

class PackageReader;
class StringList;

struct InstallRecord {
  InstallRecord();
  ~InstallRecord();
  InstallRecord(const InstallRecord&) = delete;
  InstallRecord& operator=(const InstallRecord&) = delete;

  HINSTANCE__* instance = nullptr;
  HWND__* main_window = nullptr;      // the hidden main window
  uint32_t destination_known = 0;     // selects the confirm page
  char destination[kPathChars] = {};  // initially kDefaultDestination
  uint32_t options = kUiLevelFull;
  std::unique_ptr<PackageReader> reader;
  std::unique_ptr<DependencyRecord, DependencyListDeleter> dependencies;
  std::unique_ptr<ComponentRecord, ComponentListDeleter> components;
  std::unique_ptr<StringList> installed_files;
  std::unique_ptr<StringList> created_folders;
  std::unique_ptr<StringList> obsolete_files;
  char context_text[kPathChars] = {};    // the /I value
  char scriba_folder[kPathChars] = {};   // the host product's program folder
  char installer_folder[kPathChars] = {};// drive and folder of the executable, ending in '\'
  // Working copies of the manifests; the records point into them.
  std::unique_ptr<char[]> dependency_text;
  std::unique_ptr<char[]> component_text;
  uint32_t has_dependencies = 0;
  // Where the first entry after the manifests begins in the package: each
  // attempt at the file copy reads the entries from there.
  uint32_t first_file_entry = 0;
  // The destination of the last attempt at the file copy (empty before the
  // first): names written there stay on the installed-files list for the
  // next attempt into the same folder.
  char tried_destination[kPathChars] = {};
};

}  // namespace kest
