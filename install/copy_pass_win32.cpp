#include "install/copy_pass_win32.h"

#include <windows.h>

#include "archive/entry_header.h"
#include "base/ansi_chars.h"
#include "base/install_codes.h"
#include "base/install_log.h"
#include "base/install_options.h"
#include "base/install_status.h"
#include "base/platform_win32.h"
#include "base/text_limits.h"
#include "install/disk_file_facts_win32.h"
#include "install/file_state_win32.h"
#include "install/folder_creation.h"
#include "install/folder_system_win32.h"
#include "install/fresh_paths.h"
#include "install/linked_folders_win32.h"
#include "install/replace_decision.h"
#include "install/restart_replacement_win32.h"
#include "install/self_registration_win32.h"
#include "install/target_path.h"
#include "install/text_set.h"
#include "resources/string_ids.h"

namespace kest {
namespace {

constexpr char kSeparatorLine[] = " ";

// The replace decision's view of the target: the disk's, or nothing at
// all for a target the pass has already seen to be missing.
class TargetFacts : public DiskFileFacts {
 public:
  TargetFacts(DiskFileFacts& disk, bool exists) : disk_(disk), exists_(exists) {}
  FileVersion GetFileVersion(const char* path) override {
    return exists_ ? disk_.GetFileVersion(path) : FileVersion();
  }
  bool GetLastWriteTime(const char* path, uint64_t* time) override {
    return exists_ && disk_.GetLastWriteTime(path, time);
  }

 private:
  DiskFileFacts& disk_;
  bool exists_;
};

// How an entry reaches its target.
enum class Route {
  kInPlace,       // the target does not exist: written there
  kBeside,        // written beside the existing target, then moved over it
  kAtRestart,     // the target is in use: written beside it, moved at the restart
};

// Calls visit(end) for each folder on the way to folder (which ends in a
// backslash), folder itself excluded, with folder cut to it at end for the
// call.
template <class Visit>
void ForEachFolderOn(char* folder, Visit visit) {
  for (char* p = folder; *p != '\0'; p = NextAnsiChar(p)) {
    if (*p != '\\' || p[1] == '\0') continue;
    const char kept = p[1];
    p[1] = '\0';
    visit(p + 1);
    p[1] = kept;
  }
}

class CopyPass {
 public:
  CopyPass(PackageReader& reader, const CopyPassParts& parts)
      : reader_(reader), parts_(parts), targets_(folders_, parts.scriba_folder) {
    SystemVersion version;
    QuerySystemVersion(&version);  // zero on failure: the replacing move
    platform_ = version.platform_id;
  }

  bool Run() {
    // A pack whose only entries were the manifests has nothing to copy.
    if (reader_.IsUsable() && !reader_.HasEntry() && reader_.entry().id == kEndMarkerId)
      return true;
    while (CopyEntry()) {
    }
    return ok_;
  }

 private:
  // One entry; false when the pass ends (ok_ says how).
  bool CopyEntry();
  // Gives the entry its output path; on giving up the pass fails, though
  // the caller's steps for the entry go on.
  void NameOutput(const char* path);
  // Writes the entry to the reader's output path, offering Try Again while
  // it fails; detail names the file in the reports. On giving up, nothing
  // this pass wrote is left at the output path.
  bool Extract(const char* detail);
  // Writes the entry over an existing target: into temporary, a new file
  // beside it, and then moved over it; *deferred when the move waits for
  // the restart (temporary then stays).
  bool ReplaceExisting(const char* target, char (&temporary)[kPathChars], bool* deferred);
  // Queues the written and checked temporary file's move over target for
  // the restart; on failure the temporary file goes.
  bool QueueAtRestart(const char* temporary, const char* target);
  bool Record(const char* name);
  // CreateFoldersFor the folder of path, once per folder in the pass.
  uint32_t PrepareFolderOf(const char* path);
  // Ends the entry: the separator line and the move to the next entry.
  bool NextEntry();
  bool Fail() {
    ok_ = false;
    return false;
  }

  PackageReader& reader_;
  const CopyPassParts& parts_;
  FolderSystemWin32 folders_;
  DiskFileFactsWin32 disk_;
  TargetResolver targets_;
  uint32_t platform_ = 0;
  bool ok_ = true;
  // Folders whose chain and write test passed in this pass, with their
  // trailing backslash.
  TextSet prepared_folders_;
  // They and every folder on their chains, with the trailing backslash.
  TextSet chained_folders_;
  FreshPaths fresh_;
  EntryGuard guard_;
};

bool CopyPass::CopyEntry() {
  char name[kPathChars];  // the entry's name in the package
  const bool whole_name = CopyText(name, sizeof(name), reader_.GetEntryName());
  if (!whole_name) CopyTextCut(name, sizeof(name), reader_.GetEntryName());  // for the report
  if (!reader_.IsUsable()) {
    ReportReaderError(reader_.GetError(), name, kButtonsRetry);
    return Fail();
  }
  if (whole_name && !guard_.CheckName(name)) return Fail();
  char target[kPathChars];
  // A name that does not fit a path cannot give one.
  const uint32_t resolved =
      whole_name ? targets_.ResolveEntryTarget(name, target) : uint32_t{kCodeInvalidFolder};
  if (resolved != kSuccess) {
    ReportError(resolved, kButtonsExitOnly, name, IDS_LABEL_FILE);
    return Fail();
  }
  if (!guard_.CheckTarget(name, target)) return Fail();
  LogFormat("Renaming archive from \"%s\" to \"%s\"", name, target);
  NameOutput(target);

  // One look at the target: a missing one is not read-only, not a library
  // to unregister and not in use, and every question about it would cost
  // a failed search of its folder (under Wine, a scan of the folder). In
  // a folder this pass created, the pass knows the answer.
  const DWORD attributes =
      fresh_.KnownMissing(target) ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(target);
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;

  parts_.context->SetReplaceNow(0);
  TargetFacts facts(disk_, exists);
  if (!ShouldReplace(reader_, name, facts)) return NextEntry();
  parts_.progress->ShowProgressText(target);

  while (exists && IsReadOnly(target)) {
    if (ReportError(kCodeReadOnlyFile, kButtonsRetry, target, IDS_LABEL_FILE) != kChoiceRetry) {
      ok_ = false;
      break;
    }
    SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
    ResetStatus();
  }
  if (!ok_) return false;
  const uint32_t pending = Status().install_code;
  if (pending != kSuccess && pending != ERROR_SHARING_VIOLATION) {
    ShowError();
    return Fail();
  }

  if (exists && IsSelfRegistering(target)) {
    // The library's own code may put files anywhere.
    fresh_.Distrust();
    UnregisterLibrary(target, *parts_.context, UnregisterForm::kReplacement, IsFileInUse(target));
  }
  // A folder of the target's name is left to the write, which reports it.
  Route route = !exists || (attributes & FILE_ATTRIBUTE_DIRECTORY) ? Route::kInPlace
                                                                   : Route::kBeside;
  char temporary[kPathChars] = "";
  if (exists && IsFileInUse(target)) {
    route = Route::kAtRestart;
    // The library asked for its replacement now: the user frees the file.
    while (parts_.context->GetReplaceNow() != 0) {
      if (ReportError(kCodeFileInUse, kButtonsRetry, nullptr, 0) != kChoiceRetry) return Fail();
      ResetStatus();
      if (!IsFileInUse(target)) {
        route = Route::kBeside;
        break;
      }
    }
  }
  if (route == Route::kAtRestart) {
    if (!MakeTempNameBeside(folders_, target, temporary)) return Fail();
    LogFormat("Renaming archive from \"%s\" to \"%s\" for lazy copy", target, temporary);
    NameOutput(temporary);
    if (!ok_) {
      DeleteFileA(temporary);
      return false;
    }
    // Queued once the file is written and checked, so that the restart
    // never moves an incomplete file over the user's.
    LogFormat("Queuing \"%s\" for lazy copy as \"%s\")", target, temporary);
  }

  // The output path: the target, or the temporary file of a lazy copy.
  const char* written = route == Route::kAtRestart ? temporary : target;
  LogFormat("Setting directory for \"%s\"", written);
  const uint32_t folder_code = PrepareFolderOf(written);
  if (folder_code != kSuccess) {
    ReportError(folder_code, kButtonsRetry, parts_.destination, IDS_LABEL_PATH);
    if (route == Route::kAtRestart) DeleteFileA(temporary);
    return Fail();
  }
  LogFormat("Copying \"%s\" to install target", written);
  const char* recorded = written;  // the installed-files entry
  switch (route) {
    case Route::kInPlace:
      if (!Extract(written)) return false;
      break;
    case Route::kBeside: {
      bool deferred = false;
      if (!ReplaceExisting(target, temporary, &deferred)) return false;
      if (deferred) recorded = temporary;
      break;
    }
    case Route::kAtRestart:
      if (!Extract(written) || !QueueAtRestart(temporary, target)) return false;
      break;
  }
  if (!Record(recorded)) return false;
  fresh_.NoteFile(recorded);
  parts_.progress->PumpMessages();
  return NextEntry();
}

void CopyPass::NameOutput(const char* path) {
  // Only a failed allocation makes the name refused.
  while (!reader_.SetEntryName(path)) {
    if (!RetryAfterOutOfMemory()) {
      ok_ = false;
      return;
    }
  }
}

bool CopyPass::Extract(const char* detail) {
  while (!reader_.ExtractEntry()) {
    if (ReportReaderError(reader_.GetError(), detail, kButtonsRetry)) {
      ResetStatus();
      continue;
    }
    // A write that failed other than for a full disk finishes the reader
    // (it was usable when the entry began) and leaves its file.
    if (!reader_.IsUsable()) DeleteFileA(reader_.GetEntryName());
    return Fail();
  }
  return true;
}

bool CopyPass::ReplaceExisting(const char* target, char (&temporary)[kPathChars],
                               bool* deferred) {
  if (!MakeTempNameBeside(folders_, target, temporary)) return Fail();
  NameOutput(temporary);
  if (!ok_ || !Extract(target)) {
    DeleteFileA(temporary);
    return false;
  }
  if (ReplaceFileNow(temporary, target, platform_) == kSuccess) return true;
  // Taken by another program since it was tested: replaced at the restart.
  LogFormat("Queuing \"%s\" for lazy copy as \"%s\")", target, temporary);
  if (!QueueAtRestart(temporary, target)) return false;
  *deferred = true;
  return true;
}

bool CopyPass::QueueAtRestart(const char* temporary, const char* target) {
  if (!QueueReplaceAtRestart(temporary, target)) {
    DeleteFileA(temporary);
    return Fail();
  }
  *parts_.options |= kStateRestartNeeded;
  return true;
}

uint32_t CopyPass::PrepareFolderOf(const char* path) {
  // Under Wine a folder's chain and write test cost more than a small
  // file's whole extraction, and a pack keeps many files in few folders.
  // A folder that goes away later makes the extraction itself fail, which
  // is reported as any failed write is.
  char folder[kPathChars];
  if (!CopyText(folder, sizeof(folder), path)) return kCodeInvalidFolder;
  char* last_separator = nullptr;
  for (char* p = folder; *p != '\0'; p = NextAnsiChar(p)) {
    if (*p == '\\') last_separator = p;
  }
  if (last_separator != nullptr) last_separator[1] = '\0';
  // Target paths are lower-cased, so equal folders are equal bytes.
  if (prepared_folders_.Contains(folder)) return kSuccess;
  StringList* created = parts_.created_folders;
  const StringList::Node* last_before = created != nullptr ? created->tail() : nullptr;
  // The chain is created below the deepest folder known to exist.
  size_t existing = 0;
  ForEachFolderOn(folder, [&](char* end) {
    if (chained_folders_.Contains(folder)) existing = static_cast<size_t>(end - folder);
  });
  const uint32_t code = CreateFoldersFor(folders_, path, created, existing);
  if (code == kSuccess) {
    ForEachFolderOn(folder, [&](char*) { chained_folders_.Insert(folder); });
    chained_folders_.Insert(folder);
  }
  if (created != nullptr) {
    // The folders this call created were appended.
    for (const StringList::Node* n = last_before != nullptr ? last_before->next : created->head();
         n != nullptr; n = n->next) {
      fresh_.NoteFolder(n->text);
    }
  }
  // Not remembered when memory is short: the folder is prepared again.
  if (code == kSuccess) prepared_folders_.Insert(folder);
  return code;
}

bool CopyPass::Record(const char* name) {
  while (!parts_.installed_files->Append(name)) {
    if (!RetryAfterOutOfMemory()) return Fail();
  }
  return true;
}

bool CopyPass::NextEntry() {
  LogLine(kSeparatorLine);
  if (reader_.NextEntry()) return true;
  if (reader_.entry().id == kEndMarkerId) return false;
  // The next header could not be read: the rest of the pack is missing.
  ReportReaderError(reader_.GetError(), nullptr, kButtonsExitOnly);
  return Fail();
}

}  // namespace

bool CopyPackageFiles(PackageReader& reader, const CopyPassParts& parts) {
  return CopyPass(reader, parts).Run();
}

}  // namespace kest
