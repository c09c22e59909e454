#include "installer/manifest_reader.h"

#include "archive/package_reader.h"
#include "archive/reader_codes.h"
#include "base/install_codes.h"
#include "base/install_status.h"
#include "base/text_limits.h"
#include "install/reader_error.h"
#include "installer/install_record.h"
#include "manifest/manifest_text.h"
#include "resources/string_ids.h"

namespace kest {
namespace {

class ReportingEvents : public ManifestEvents {
 public:
  void KeyLineRejected(uint32_t, const char* line, KeyLineFault) override {
    // The same label for both manifests.
    ReportError(kCodeInvalidInstallFiles, kButtonsExitOnly, line, IDS_LABEL_DEPENDENCY);
  }
  bool RetryAllocation() override { return RetryAfterOutOfMemory(); }
};

const char* EntryText(PackageReader& reader) {
  return reinterpret_cast<const char*>(reader.GetEntryData());
}

// Moves the reader past the manifest it has taken. The end of the archive
// is a normal end; any other failure (a header that cannot be read) is
// reported, exit-only, and left pending. True when nothing was reported.
bool MovePastManifest(PackageReader& reader) {
  if (reader.NextEntry() || reader.GetError() == kReaderEndOfArchive) return true;
  ReportReaderError(reader.GetError(), nullptr, kButtonsExitOnly);
  return false;
}

}  // namespace

bool ReadComponentManifest(InstallRecord* record) {
  PackageReader& reader = *record->reader;
  ReportingEvents events;
  ComponentManifest manifest;
  if (ParseComponentManifestText(EntryText(reader), reader.GetEntryPackedSize(), events,
                                 &manifest) != ManifestRead::kRead) {
    return false;
  }
  MovePastManifest(reader);

  bool stored = false;
  if (manifest.components) {
    record->components = std::move(manifest.components);
    record->component_text = std::move(manifest.text);
    stored = true;
  }
  if (manifest.obsolete_files) {
    record->obsolete_files = std::move(manifest.obsolete_files);
    stored = true;
  }
  return stored;
}

bool ReadDependencyManifest(InstallRecord* record) {
  PackageReader& reader = *record->reader;
  ReportingEvents events;
  DependencyManifest manifest;
  if (ParseDependencyManifestText(EntryText(reader), reader.GetEntryPackedSize(), events,
                                  &manifest) != ManifestRead::kRead) {
    return false;
  }
  const bool moved = MovePastManifest(reader);
  if (!manifest.dependencies) return false;

  record->dependencies = std::move(manifest.dependencies);
  record->dependency_text = std::move(manifest.text);
  if (manifest.has_dependencies) record->has_dependencies = 1;

  // Default holds at most kPathChars - 1 bytes (longer values are refused
  // when the line is read); one that did not fit would leave the folder as
  // it was.
  const char* folder = record->dependencies->default_folder;
  if (folder != nullptr && folder[0] != '\0' && (record->options & kStateFolderGiven) == 0) {
    (void)CopyText(record->destination, sizeof(record->destination), folder);
  }
  if (moved) ResetStatus();
  return true;
}

}  // namespace kest
