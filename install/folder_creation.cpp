#include "install/folder_creation.h"

#include <cstring>

#include "base/ansi_chars.h"
#include "base/install_codes.h"
#include "base/install_status.h"
#include "base/path_text.h"
#include "manifest/string_list.h"
#include "resources/string_ids.h"

namespace kest {
namespace {

// The never-created start of folder, in bytes: "c:" for a drive,
// "\\server\share" for a share (the whole text when the share's closing
// backslash is missing), nothing otherwise.
size_t RootLength(const char* folder) {
  if (folder[0] != '\0' && folder[1] == ':') return 2;
  if (folder[0] != '\\' || folder[1] != '\\') return 0;
  int separators = 0;
  const char* p = folder + 2;
  for (; *p != '\0'; p = NextAnsiChar(p)) {
    if (*p == '\\' && ++separators == 2) break;
  }
  return static_cast<size_t>(p - folder);
}

// The code a failed creation or write test is reported under: a folder of
// the chain that is "not found" right after its creation cannot be written
// to, and an invalid name is an invalid folder; others keep the system's
// text.
InstallCode FolderFailure(uint32_t error) {
  if (error == kErrorFileNotFound) return InstallCode(kCodeReadOnlyFile);
  if (error == kErrorInvalidName) return InstallCode(kCodeInvalidFolder);
  return InstallCode::FromSystemError(error);
}

// Creates one folder of the chain; an existing one is no error.
InstallCode CreateOne(FolderSystem& folders, const char* folder, StringList* created) {
  const uint32_t error = folders.CreateFolder(folder);
  if (error == kErrorAlreadyExists) return InstallCode();
  if (error != 0) return FolderFailure(error);
  if (created != nullptr && !created->Append(folder)) {
    folders.RemoveFolder(folder);
    return InstallCode(kCodeOutOfMemory);
  }
  return InstallCode();
}

// Creates a temporary file in folder and deletes it again.
uint32_t TestWriting(FolderSystem& folders, const char* folder) {
  char temp[kPathChars];
  uint32_t error = folders.CreateTempFile(folder, "test", temp);
  if (error == 0) folders.RemoveFile(temp);
  return error;
}

}  // namespace

InstallCode CreateFoldersFor(FolderSystem& folders, const char* path, StringList* created,
                             size_t existing) {
  // The folder part: up to and including the last backslash, unless the
  // path ends in one (a path without any stays whole).
  char folder[kPathChars];
  if (!CopyText(folder, sizeof(folder), path)) return InstallCode(kCodeInvalidFolder);
  CutToFolderPart(folder);

  // built grows to the whole folder, one character at a time; it is a
  // prefix of folder, so it always fits.
  char built[kPathChars];
  size_t length = RootLength(folder);
  while (folder[length] == '\\') ++length;
  if (existing > length && existing <= strlen(folder) && folder[existing - 1] == '\\') {
    length = existing;
  }
  memcpy(built, folder, length);
  InstallCode code;
  for (const char* p = folder + length; *p != '\0' && code.ok();) {
    const char* next = NextAnsiChar(p);
    bool separator = *p == '\\';
    while (p < next) built[length++] = *p++;
    built[length] = '\0';
    if (separator) code = CreateOne(folders, built, created);
  }
  if (code.ok()) code = FolderFailure(TestWriting(folders, folder));
  return code;
}

bool IsFolderWritable(FolderSystem& folders, const char* folder) {
  uint32_t attributes;
  if (folders.GetAttributes(folder, &attributes) && (attributes & kAttributeReadOnly) != 0) {
    return false;
  }
  return TestWriting(folders, folder) == 0;
}

bool MakeTempNameBeside(FolderSystem& folders, const char* target, char (&out)[kPathChars]) {
  // Split as a path splitter does: the folder ends after the last "\", "/"
  // or drive colon; the base name runs from there to its last ".".
  const char* base = target;
  for (const char* p = target; *p != '\0'; p = NextAnsiChar(p)) {
    if (*p == '\\' || *p == '/' || (*p == ':' && p == target + 1)) base = p + 1;
  }
  const char* base_end = base + strlen(base);
  for (const char* p = base; *p != '\0'; p = NextAnsiChar(p)) {
    if (*p == '.') base_end = p;
  }

  InstallCode code;
  char folder[kPathChars];
  size_t folder_length = static_cast<size_t>(base - target);
  if (folder_length >= sizeof(folder)) {
    code = InstallCode(kCodeInvalidFolder);
  } else {
    memcpy(folder, target, folder_length);
    folder[folder_length] = '\0';
    // At most three characters, each of one or two bytes.
    char prefix[7];
    size_t prefix_length = 0;
    const char* p = base;
    for (int chars = 0; chars < 3 && p < base_end; ++chars) {
      const char* next = NextAnsiChar(p);
      if (next > base_end) break;
      while (p < next) prefix[prefix_length++] = *p++;
    }
    prefix[prefix_length] = '\0';
    code = InstallCode::FromSystemError(folders.CreateTempFile(folder, prefix, out));
  }
  if (code.ok()) return true;
  out[0] = '\0';
  ReportError(code.value(), kButtonsExitOnly, target, IDS_LABEL_FILE);
  return false;
}

}  // namespace kest
