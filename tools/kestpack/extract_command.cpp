#include <cstdio>
#include <map>

#include "archive/package_reader.h"
#include "archive/reader_codes.h"
#include "tools/kestpack/commands.h"
#include "tools/kestpack/entry_names.h"
#include "tools/kestpack/extract_folder.h"
#include "tools/kestpack/file_times.h"
#include "tools/kestpack/package_errors.h"
#include "tools/kestpack/package_file.h"
#include "tools/kestpack/printable_text.h"

namespace kest {
namespace {

// ARJ file type of a folder entry: it has no data and stands for the
// folder of its name.
constexpr uint8_t kArjFileTypeFolder = 3;

int RunExtract(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!BeginCommand(kExtractCommand, args, {"-C"}, {}, 1, "one FILE", &parsed, &status)) {
    return status;
  }
  std::string error;
  std::string destination = parsed.Value("-C");
  if (destination.empty()) return UsageError(kExtractCommand, "-C FOLDER is required");
  while (destination.size() > 1 && destination.back() == '/') destination.pop_back();

  PackageFile file;
  if (!LoadPackageFile(parsed.operands[0], &file, &error)) {
    PrintError(error);
    return kExitBadInput;
  }
  ExtractFolder folder;
  if (!folder.Open(destination, &error)) {
    PrintError(error);
    return kExitBadInput;
  }
  MemorySource source = file.ArchiveSource();
  BareArchiveReader reader(&source, false, folder);
  // No entry of a file this size can hold more packed bytes than the file:
  // a forged size is refused instead of allocated.
  reader.set_packed_size_limit(static_cast<uint32_t>(file.bytes.size()));
  if (!reader.Open()) {
    PrintError(file.path + ": " + DescribeReaderError(reader.GetError()));
    return kExitBadInput;
  }
  // The entry that wrote each file so far, by its name as the installer
  // compares names (the reader has lower-cased it already).
  std::map<std::string, size_t> written;
  size_t entry = 0, files = 0, folders = 0;
  do {
    ++entry;
    // The reader's name: lower-cased, '\' between folders.
    std::string name = reader.GetEntryName(), reason;
    if (!CheckEntryName(name, &reason)) {
      PrintError(file.path + ": entry \"" + name + "\" refused: " + reason);
      return kExitBadInput;
    }
    for (char& c : name) {
      if (c == '\\') c = '/';
    }
    const EntryHeader& header = reader.entry();
    if (header.file_type == kArjFileTypeFolder) {
      if (folder.MakeFolders(name) != 0) {
        PrintError(file.path + ": " + folder.failure());
        return kExitBadInput;
      }
      ++folders;
      continue;
    }
    auto first = written.emplace(name, entry);
    if (!first.second) {
      PrintError(file.path + ": entry " + std::to_string(entry) + " \"" + name +
                 "\" is a second entry for " + destination + "/" + name + ", which entry " +
                 std::to_string(first.first->second) +
                 " wrote; it is not written over (the installer would replace the file)");
      return kExitBadInput;
    }
    size_t slash = name.find_last_of('/');
    if (slash != std::string::npos && folder.MakeFolders(name.substr(0, slash)) != 0) {
      PrintError(file.path + ": " + folder.failure());
      return kExitBadInput;
    }
    folder.set_unix_times(header.host_os == kArjHostUnix);
    if (!reader.SetEntryName(name.c_str()) || !reader.ExtractEntry()) {
      PrintError(file.path + ": " +
                 (folder.failure().empty()
                      ? destination + "/" + name + ": " + DescribeReaderError(reader.GetError())
                      : folder.failure()));
      return kExitBadInput;
    }
    ++files;
  } while (reader.NextEntry());
  if (reader.GetError() != kReaderEndOfArchive) {
    PrintError(file.path + ": " + DescribeReaderError(reader.GetError()));
    return kExitBadInput;
  }
  printf("%s: %zu files and %zu folders extracted into %s\n", Printable(file.path).c_str(), files,
         folders, Printable(destination).c_str());
  return kExitOk;
}

}  // namespace

const Subcommand kExtractCommand = {
    "extract",
    "usage: kestpack extract FILE -C FOLDER\n"
    "\n"
    "Writes every entry of an installer or a bare ARJ archive below FOLDER\n"
    "(created when missing), through the installer's own reader and decoder:\n"
    "names lower-cased, each file's CRC-32 checked, times set from the ARJ\n"
    "header (local time; seconds since 1970 in archives made on Unix), folder\n"
    "entries made as folders. Extraction stops at the first entry it cannot\n"
    "write safely: a name that could leave FOLDER, a symbolic link already\n"
    "below FOLDER in the way (nothing is written through one; FOLDER itself\n"
    "may be a link), or a second entry for a file already written. A file\n"
    "that exists is replaced.\n",
    RunExtract};

}  // namespace kest
