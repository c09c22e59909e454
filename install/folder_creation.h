// Folders for target files: the missing folders of a path created in
// order, and the write test that proves a folder usable.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/install_codes.h"
#include "install/folder_system.h"

namespace kest {

class StringList;

// Creates every missing folder on the way to path: a file path (its folder
// is meant) or a folder path ending in "\" (the folder itself). Then proves
// the folder usable by creating a temporary file in it and deleting it.
//
// The start of the path is never created: the drive ("c:") or the server
// and share ("\\server\share"). Each folder is created with its trailing
// backslash; one that exists already is passed over, and every folder
// created is appended to created (when given) in creation order. Folders
// created before a failure stay, and stay recorded.
//
// Returns success, or: the system's error number of the failed creation or
// write test, with 2 (file not found) given as kCodeReadOnlyFile and 123
// (invalid name) as kCodeInvalidFolder; kCodeInvalidFolder for a path of
// kPathChars characters or more; kCodeOutOfMemory when created cannot take a folder
// (that folder, still empty, is removed again so that a retry records it).
//
// existing: the length of a start of path that ends in a backslash and
// names a folder the caller knows to exist (0: none); only the folders
// below it are created.
InstallCode CreateFoldersFor(FolderSystem& folders, const char* path, StringList* created,
                             size_t existing = 0);

// True when a file can be created in folder: its attributes, when readable,
// lack the read-only attribute, and a temporary file ("tes" prefix) can be
// created there. The file is deleted again.
bool IsFolderWritable(FolderSystem& folders, const char* folder);

// Makes a new empty temporary file in the folder of target whose name
// begins with the first three characters of target's base name (all of a
// shorter one) and writes its path into out. On failure reports the
// system's error number (kCodeInvalidFolder when the folder part would not
// fit a path buffer), exit-only, with target as the "File:" detail, and
// returns false with out empty.
bool MakeTempNameBeside(FolderSystem& folders, const char* target, char (&out)[kPathChars]);

}  // namespace kest
