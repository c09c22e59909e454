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

// Creates one folder of the chain; an existing one is no error.
uint32_t CreateOne(FolderSystem& folders, const char* folder, StringList* created) {
  uint32_t error = folders.CreateFolder(folder);
  if (error == kErrorAlreadyExists) return 0;
  if (error != 0) return error;
  if (created != nullptr && !created->Append(folder)) {
    folders.RemoveFolder(folder);
    return kCodeOutOfMemory;
  }
  return 0;
}

// Creates a temporary file in folder and deletes it again.
uint32_t TestWriting(FolderSystem& folders, const char* folder) {
  char temp[kPathChars];
  uint32_t error = folders.CreateTempFile(folder, "test", temp);
  if (error == 0) folders.RemoveFile(temp);
  return error;
}

}  // namespace

uint32_t CreateFoldersFor(FolderSystem& folders, const char* path, StringList* created,
                          size_t existing) {
  // The folder part: up to and including the last backslash, unless the
  // path ends in one (a path without any stays whole).
  char folder[kPathChars];
  if (!CopyText(folder, sizeof(folder), path)) return kCodeInvalidFolder;
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
  uint32_t error = 0;
  for (const char* p = folder + length; *p != '\0' && error == 0;) {
    const char* next = NextAnsiChar(p);
    bool separator = *p == '\\';
    while (p < next) built[length++] = *p++;
    built[length] = '\0';
    if (separator) error = CreateOne(folders, built, created);
  }
  if (error == 0) error = TestWriting(folders, folder);

  if (error == kErrorFileNotFound) return kCodeReadOnlyFile;
  if (error == kErrorInvalidName) return kCodeInvalidFolder;
  return error;
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

  uint32_t error = 0;
  char folder[kPathChars];
  size_t folder_length = static_cast<size_t>(base - target);
  if (folder_length >= sizeof(folder)) {
    error = kCodeInvalidFolder;
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
    error = folders.CreateTempFile(folder, prefix, out);
  }
  if (error == 0) return true;
  out[0] = '\0';
  ReportError(error, kButtonsExitOnly, target, IDS_LABEL_FILE);
  return false;
}

}  // namespace kest
