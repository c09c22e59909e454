#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "archive/package_reader.h"
#include "archive/posix_output_files.h"
#include "archive/reader_codes.h"
#include "tools/kestpack/commands.h"
#include "tools/kestpack/entry_names.h"
#include "tools/kestpack/package_errors.h"
#include "tools/kestpack/package_file.h"

namespace kest {
namespace {

// Creates every folder on the way to path (the last part is the file).
bool MakeParents(const std::string& path, std::string* error) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    std::string folder = path.substr(0, slash);
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
      *error = folder + ": " + strerror(errno);
      return false;
    }
  }
  return true;
}

int RunExtract(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!BeginCommand(kExtractCommand, args, {"-C"}, {}, 1, "one FILE", &parsed, &status)) {
    return status;
  }
  std::string error;
  std::string folder = parsed.Value("-C");
  if (folder.empty()) return UsageError(kExtractCommand, "-C FOLDER is required");
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();

  PackageFile file;
  if (!LoadPackageFile(parsed.operands[0], &file, &error)) {
    PrintError(error);
    return kExitBadInput;
  }
  MemorySource source = file.ArchiveSource();
  PosixFileSystem output;
  BareArchiveReader reader(&source, false, output);
  // No entry of a file this size can hold more packed bytes than the file:
  // a forged size is refused instead of allocated.
  reader.set_packed_size_limit(static_cast<uint32_t>(file.bytes.size()));
  if (!reader.Open()) {
    PrintError(file.path + ": " + DescribeReaderError(reader.GetError()));
    return kExitBadInput;
  }
  size_t count = 0;
  do {
    // The reader's name: lower-cased, '\' between folders.
    std::string name = reader.GetEntryName(), reason;
    if (!CheckEntryName(name, &reason)) {
      PrintError(file.path + ": entry \"" + name + "\" refused: " + reason);
      return kExitBadInput;
    }
    for (char& c : name) {
      if (c == '\\') c = '/';
    }
    std::string target = folder + "/" + name;
    if (!MakeParents(target, &error)) {
      PrintError(error);
      return kExitBadInput;
    }
    if (!reader.SetEntryName(target.c_str()) || !reader.ExtractEntry()) {
      PrintError(file.path + ": " + name + ": " + DescribeReaderError(reader.GetError()));
      return kExitBadInput;
    }
    ++count;
  } while (reader.NextEntry());
  if (reader.GetError() != kReaderEndOfArchive) {
    PrintError(file.path + ": " + DescribeReaderError(reader.GetError()));
    return kExitBadInput;
  }
  printf("%s: %zu entries extracted into %s\n", file.path.c_str(), count, folder.c_str());
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
    "local time. An entry whose name could leave FOLDER stops the extraction.\n",
    RunExtract};

}  // namespace kest
