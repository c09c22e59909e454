#include "install/copy_pass_win32.h"

#include <windows.h>

#include <cstring>

#include "archive/entry_header.h"
#include "archive/win32_file.h"
#include "base/ansi_chars.h"
#include "base/install_codes.h"
#include "base/install_log.h"
#include "base/install_options.h"
#include "base/install_status.h"
#include "base/path_text.h"
#include "base/platform_win32.h"
#include "base/text_limits.h"
#include "install/disk_file_facts_win32.h"
#include "install/file_state_win32.h"
#include "install/folder_creation.h"
#include "install/folder_system_win32.h"
#include "install/fresh_paths.h"
#include "install/linked_folders_win32.h"
#include "install/reader_error.h"
#include "install/replace_decision.h"
#include "install/restart_replacement_win32.h"
#include "install/self_registration_win32.h"
#include "install/target_path.h"
#include "install/temp_journal_win32.h"
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
      : reader_(reader), parts_(parts), targets_(folders_, parts.scriba_folder),
        journal_(parts.destination) {
    // Every temporary file of the pass, beside a target or a folder's
    // write test, is noted before it exists.
    folders_.MakeTemporariesThrough(&journal_);
    SystemVersion version;
    QuerySystemVersion(&version);  // zero on failure: the replacing move
    platform_ = version.platform_id;
  }

  bool Run() {
    // What a run that died left behind goes first.
    journal_.Recover();
    // A pack whose only entries were the manifests has nothing to copy.
    if (reader_.IsUsable() && !reader_.HasEntry() && reader_.entry().id == kEndMarkerId)
      return true;
    // Names an earlier attempt of this run wrote are on the list already.
    for (const StringList::Node* n = parts_.installed_files->head(); n != nullptr; n = n->next) {
      if (!earlier_.Insert(n->text)) earlier_all_ = false;
    }
    earlier_last_ = parts_.installed_files->tail();
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
  // it fails; detail names the file in the reports. With failed_once, the
  // first attempt has been made and failed already. On giving up, nothing
  // this pass wrote is left at the output path.
  bool Extract(const char* detail, bool failed_once = false);
  // Writes the entry over an existing target: into temporary, a new file
  // beside it, and then moved over it; *deferred when the move waits for
  // the restart (temporary then stays). must_replace_now: the old copy is
  // unregistered, so the move never waits for the restart; the user is
  // asked to free the file instead.
  bool ReplaceExisting(const char* target, char (&temporary)[kPathChars], bool must_replace_now,
                       bool* deferred);
  // Asks the user to free a file in use (0x8040F00C, Try Again); false
  // when the user gives up, and the pass then fails.
  bool AskToFreeFile();
  // Queues the written and checked temporary file's move over target for
  // the restart; on failure the temporary file goes.
  bool QueueAtRestart(const char* temporary, const char* target);
  bool Record(const char* name);
  // Holds the self-registering library just written at target open until
  // its registration, once it is proven to hold exactly the entry's bytes;
  // one that another program changed or replaced meanwhile is written
  // again. False, reported, when it cannot be had so.
  bool HoldWritten(const char* target);
  // CreateFoldersFor the folder of path, once per folder in the pass.
  InstallCode PrepareFolderOf(const char* path);
  // From here on no folder counts as prepared or as known to be no link:
  // code the pass does not control (a component's entry points) may have
  // removed or replaced any.
  void ForgetFolders() {
    prepared_folders_.Clear();
    chained_folders_.Clear();
    guard_.ForgetFolders();
  }
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
  TempJournal journal_;
  uint32_t platform_ = 0;
  bool ok_ = true;
  // Folders whose chain and write test passed in this pass, with their
  // trailing backslash.
  TextSet prepared_folders_;
  // They and every folder on their chains, with the trailing backslash.
  TextSet chained_folders_;
  FreshPaths fresh_;
  // The names earlier attempts put on the installed-files list, so that a
  // file written again by this one is registered once. When memory ran
  // short the set is incomplete (earlier_all_ false) and the list's
  // earlier part (up to earlier_last_) is searched instead.
  TextSet earlier_;
  bool earlier_all_ = true;
  const StringList::Node* earlier_last_ = nullptr;
  EntryGuard guard_;
};

// Whether a replacement the size of the entry fits where the old file is,
// written over it: the new size is at most the drive's free space plus the
// old file's size. False when either cannot be had.
bool FitsInPlace(const char* target, uint32_t new_size) {
  // The drive's root: "x:\" or "\\server\share\".
  char root[kPathChars];
  if (!CopyText(root, sizeof(root), target)) return false;
  char* end = nullptr;
  if (root[0] != '\0' && root[1] == ':') {
    end = root + 3;
  } else if (root[0] == '\\' && root[1] == '\\') {
    int separators = 0;
    for (char* p = root + 2; *p != '\0'; p = NextAnsiChar(p)) {
      if (*p == '\\' && ++separators == 2) {
        end = p + 1;
        break;
      }
    }
  }
  if (end == nullptr || end > root + strlen(root)) return false;
  *end = '\0';
  DWORD sectors_per_cluster, bytes_per_sector, free_clusters, clusters;
  if (!GetDiskFreeSpaceA(root, &sectors_per_cluster, &bytes_per_sector, &free_clusters,
                         &clusters))
    return false;
  const uint64_t free_bytes =
      uint64_t{sectors_per_cluster} * bytes_per_sector * free_clusters;
  Win32File old_file(CreateFileA(target, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!old_file.valid()) return false;
  DWORD high = 0;
  const DWORD low = GetFileSize(old_file.get(), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
  const uint64_t old_bytes = (uint64_t{high} << 32) | low;
  return new_size > free_bytes && new_size <= free_bytes + old_bytes;
}

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
  const InstallCode resolved =
      whole_name ? targets_.ResolveEntryTarget(name, target) : InstallCode(kCodeInvalidFolder);
  if (!resolved.ok()) {
    ReportError(resolved.value(), kButtonsExitOnly, name, IDS_LABEL_FILE);
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
  // A library an earlier entry wrote here is held by this process, which
  // would read as in use: it is about to be replaced, and the new copy is
  // held in its stead.
  if (parts_.held_files != nullptr) parts_.held_files->Release(target);
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
  // A code left pending stops the copy here, shown; a sharing violation
  // does not. This compares the pending code with a Windows error on
  // purpose: the pending code is a plain value and may be one.
  const uint32_t pending = Status().install_code;
  if (pending != kSuccess && pending != ERROR_SHARING_VIOLATION) {
    ShowError();
    return Fail();
  }

  // An old library whose registration has been undone must not wait for
  // the restart to be replaced: it would stay registered nowhere.
  bool unregistered = false;
  if (exists && IsSelfRegistering(target)) {
    // The library's own code may put files anywhere, or remove folders.
    fresh_.Distrust();
    ForgetFolders();
    unregistered =
        UnregisterLibrary(target, *parts_.context, UnregisterForm::kReplacement, IsFileInUse(target));
  }
  // A folder of the target's name is left to the write, which reports it.
  Route route = !exists || (attributes & FILE_ATTRIBUTE_DIRECTORY) ? Route::kInPlace
                                                                   : Route::kBeside;
  char temporary[kPathChars] = "";
  if (exists && IsFileInUse(target)) {
    route = Route::kAtRestart;
    // The library asked for its replacement now, or is unregistered
    // already: the user frees the file.
    while (unregistered || parts_.context->GetReplaceNow() != 0) {
      if (!AskToFreeFile()) return false;
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
      RemoveTemporaryFile(temporary);
      return false;
    }
    // Queued once the file is written and checked, so that the restart
    // never moves an incomplete file over the user's.
    LogFormat("Queuing \"%s\" for lazy copy as \"%s\")", target, temporary);
  }

  // The output path: the target, or the temporary file of a lazy copy.
  const char* written = route == Route::kAtRestart ? temporary : target;
  LogFormat("Setting directory for \"%s\"", written);
  // Not RetryingAllocation: only out of memory is asked about again; any
  // other failure of the folder is reported below with its own code.
  const InstallCode out_of_memory(kCodeOutOfMemory);
  InstallCode folder_code;
  while ((folder_code = PrepareFolderOf(written)) == out_of_memory && RetryAfterOutOfMemory()) {
  }
  if (!folder_code.ok()) {
    // Out of memory has been reported and answered already.
    if (folder_code != out_of_memory) {
      ReportError(folder_code.value(), kButtonsRetry, parts_.destination, IDS_LABEL_PATH);
    }
    if (route == Route::kAtRestart) RemoveTemporaryFile(temporary);
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
      if (!ReplaceExisting(target, temporary, unregistered, &deferred)) return false;
      if (deferred) recorded = temporary;
      break;
    }
    case Route::kAtRestart:
      if (!Extract(written) || !QueueAtRestart(temporary, target)) {
        RemoveTemporaryFile(temporary);
        return false;
      }
      break;
  }
  if (!Record(recorded)) return false;
  if (recorded == target && parts_.held_files != nullptr) {
    if (!IsSelfRegistering(target)) {
      parts_.held_files->NotePlain(target);
    } else if (!HoldWritten(target)) {
      return false;
    }
  }
  fresh_.NoteFile(recorded);
  parts_.progress->PumpMessages();
  return NextEntry();
}

void CopyPass::NameOutput(const char* path) {
  // Only a failed allocation makes the name refused.
  if (!RetryingAllocation([&] { return reader_.SetEntryName(path); })) ok_ = false;
}

bool CopyPass::Extract(const char* detail, bool failed_once) {
  while (failed_once || !reader_.ExtractEntry()) {
    failed_once = false;
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

bool CopyPass::AskToFreeFile() {
  if (ReportError(kCodeFileInUse, kButtonsRetry, nullptr, 0) != kChoiceRetry) return Fail();
  ResetStatus();
  return true;
}

bool CopyPass::ReplaceExisting(const char* target, char (&temporary)[kPathChars],
                               bool must_replace_now, bool* deferred) {
  if (!MakeTempNameBeside(folders_, target, temporary)) return Fail();
  NameOutput(temporary);
  if (!ok_) {
    RemoveTemporaryFile(temporary);
    return false;
  }
  if (!reader_.ExtractEntry()) {
    // Room for the new file beside the old one is this route's own need:
    // where the new file fits over the old one, it is written in place, as
    // a file the user has room for always was.
    if (reader_.IsUsable() && FitsInPlace(target, reader_.entry().original_size)) {
      RemoveTemporaryFile(temporary);
      NameOutput(target);
      return ok_ && Extract(target);
    }
    if (!Extract(target, true)) {
      RemoveTemporaryFile(temporary);
      return false;
    }
  }
  // The Windows 95 family moves the old file aside first, to a name the
  // journal holds too, for a run that dies between the two moves. None
  // made: the replacing call makes its own.
  char aside[kPathChars] = "";
  if (platform_ == kPlatformWindows95) {
    char folder[kPathChars];
    if (!CopyText(folder, sizeof(folder), target) || !CutToFolderPart(folder) ||
        folders_.CreateTempFile(folder, "old", aside) != 0) {
      aside[0] = '\0';
    }
  }
  for (;;) {
    const uint32_t error =
        ReplaceFileNow(temporary, target, platform_, aside[0] != '\0' ? aside : nullptr);
    if (error == ERROR_SUCCESS) return true;
    if (!must_replace_now) break;
    // Taken by another program since it was tested, while its old copy is
    // unregistered already.
    if (!AskToFreeFile()) {
      RemoveTemporaryFile(temporary);
      if (aside[0] != '\0') RemoveTemporaryFile(aside);
      return false;
    }
  }
  if (aside[0] != '\0') RemoveTemporaryFile(aside);
  // Taken by another program since it was tested: replaced at the restart.
  LogFormat("Queuing \"%s\" for lazy copy as \"%s\")", target, temporary);
  if (!QueueAtRestart(temporary, target)) return false;
  *deferred = true;
  return true;
}

bool CopyPass::QueueAtRestart(const char* temporary, const char* target) {
  if (!QueueReplaceAtRestart(temporary, target)) {
    RemoveTemporaryFile(temporary);
    return Fail();
  }
  journal_.NoteKept(temporary);
  *parts_.options |= kStateRestartNeeded;
  return true;
}

InstallCode CopyPass::PrepareFolderOf(const char* path) {
  // Under Wine a folder's chain and write test cost more than a small
  // file's whole extraction, and a pack keeps many files in few folders.
  // A folder that goes away later makes the extraction itself fail, which
  // is reported as any failed write is.
  char folder[kPathChars];
  if (!CopyText(folder, sizeof(folder), path)) return InstallCode(kCodeInvalidFolder);
  CutToFolderPart(folder);
  // Target paths are lower-cased, so equal folders are equal bytes.
  if (prepared_folders_.Contains(folder)) return InstallCode();
  StringList* created = parts_.created_folders;
  const StringList::Node* last_before = created != nullptr ? created->tail() : nullptr;
  // The chain is created below the deepest folder known to exist.
  size_t existing = 0;
  ForEachFolderOn(folder, [&](char* end) {
    if (chained_folders_.Contains(folder)) existing = static_cast<size_t>(end - folder);
  });
  const InstallCode code = CreateFoldersFor(folders_, path, created, existing);
  if (code.ok()) {
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
  if (code.ok()) prepared_folders_.Insert(folder);
  return code;
}

bool CopyPass::Record(const char* name) {
  // A name an earlier attempt recorded is there already; within one pass
  // every entry written is recorded, two entries for one target twice.
  if (earlier_.Contains(name)) return true;
  if (!earlier_all_) {
    for (const StringList::Node* n = parts_.installed_files->head(); n != nullptr; n = n->next) {
      if (strcmp(n->text, name) == 0) return true;
      if (n == earlier_last_) break;
    }
  }
  if (!RetryingAllocation([&] { return parts_.installed_files->Append(name); })) return Fail();
  return true;
}

// Compares what it is given with a file's bytes from its current position;
// a difference stops the decoding that feeds it.
class CompareWithFile : public ByteSink {
 public:
  explicit CompareWithFile(HANDLE file) : file_(file) {}
  uint32_t Write(const void* data, uint32_t size) override {
    const uint8_t* expected = static_cast<const uint8_t*>(data);
    while (size > 0) {
      const DWORD piece = size < sizeof(buffer_) ? size : sizeof(buffer_);
      DWORD got = 0;
      if (!ReadFile(file_, buffer_, piece, &got, nullptr) || got != piece ||
          memcmp(buffer_, expected, piece) != 0) {
        return ERROR_FILE_INVALID;
      }
      expected += piece;
      size -= piece;
    }
    return 0;
  }
  // True when the file has no bytes left.
  bool AtEnd() {
    DWORD got = 0;
    return ReadFile(file_, buffer_, 1, &got, nullptr) && got == 0;
  }

 private:
  HANDLE file_;
  uint8_t buffer_[4096];
};

bool CopyPass::HoldWritten(const char* target) {
  // Another program may take the name between the write and the hold, but
  // not once the hold is taken; then the bytes held are checked.
  constexpr int kAttempts = 3;
  for (int attempt = 1;; ++attempt) {
    Win32File held(CreateFileA(target, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (held.valid()) {
      CompareWithFile compare(held.get());
      if (reader_.DecodeEntryTo(compare) && compare.AtEnd()) {
        // Memory short: the file goes unheld rather than the run failing.
        parts_.held_files->Add(target, held.Release());
        return true;
      }
    }
    held.Close();
    if (attempt == kAttempts) {
      ReportError(kCodeFileInUse, kButtonsExitOnly, target, IDS_LABEL_FILE);
      return Fail();
    }
    LogFormat("Copying \"%s\" to install target", target);
    if (!Extract(target)) return false;
  }
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
