#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "archive/package_reader.h"
#include "archive/posix_output_files.h"
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

// The most extract writes unless told otherwise: far above any installer's
// payload, far below what a few hundred bytes of forged headers or a
// degenerate compressed block can ask for.
constexpr uint64_t kDefaultOutputLimit = uint64_t(1) << 30;

// SIZE as --max-output takes it: a number of bytes, or of KiB, MiB or GiB
// with the suffix K, M or G. False for anything else.
bool ParseSize(const std::string& text, uint64_t* size) {
  uint64_t value = 0;
  size_t i = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value > (UINT64_MAX - 9) / 10) return false;
    value = value * 10 + uint64_t(text[i] - '0');
  }
  if (i == 0) return false;
  int shift = 0;
  if (i + 1 == text.size()) {
    const char unit = text[i];
    shift = unit == 'K' || unit == 'k' ? 10 : unit == 'M' || unit == 'm' ? 20
          : unit == 'G' || unit == 'g' ? 30 : -1;
    if (shift < 0) return false;
  } else if (i != text.size()) {
    return false;
  }
  if (value > (UINT64_MAX >> shift)) return false;
  *size = value << shift;
  return true;
}

// The bytes the archive's entries say they hold (their original sizes), from
// its headers alone: every header is read and every entry's packed data
// passed over. A header that cannot be read ends the count; the extraction
// that follows stops there with its error, so nothing after it is written.
uint64_t DeclaredOutput(const PackageFile& file) {
  MemorySource source = file.ArchiveSource();
  PosixFileSystem no_output;
  BareArchiveReader headers(&source, false, no_output);
  headers.set_load_limit(0);
  uint64_t total = 0;
  if (!headers.Open()) return 0;
  do {
    if (headers.entry().file_type != kArjFileTypeFolder) total += headers.entry().original_size;
  } while (headers.NextEntry());
  return total;
}

int RunExtract(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!BeginCommand(kExtractCommand, args, &parsed, &status)) return status;
  std::string error;
  std::string destination = parsed.Value("-C");
  uint64_t limit = kDefaultOutputLimit;
  if (parsed.Has("--max-output") && !ParseSize(parsed.Value("--max-output"), &limit)) {
    return UsageError(kExtractCommand,
                      "--max-output takes a number of bytes, or of KiB, MiB or GiB with K, M or G");
  }
  while (destination.size() > 1 && destination.back() == '/') destination.pop_back();

  PackageFile file;
  if (!LoadPackageFile(parsed.operands[0], &file, &error)) {
    PrintError(error);
    return kExitBadInput;
  }
  // Checked before anything is written, the destination folder included.
  const uint64_t declared = DeclaredOutput(file);
  if (declared > limit) {
    PrintError(file.path + ": refused: its entries would write " + std::to_string(declared) +
               " bytes, more than the limit of " + std::to_string(limit) +
               " bytes; nothing was written (--max-output raises the limit)");
    return kExitBadInput;
  }
  ExtractFolder folder;
  // What the headers declare is what the entries write, but for a last
  // match that runs past an entry's size; the files never pass the limit.
  folder.set_output_limit(limit);
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
      if (folder.output_limit_reached()) {
        PrintError(file.path + ": " + destination + "/" + name +
                   ": stopped: the limit of " + std::to_string(limit) +
                   " bytes written is reached (--max-output raises it)");
        return kExitBadInput;
      }
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
    "FILE",
    {
        {"-C", "FOLDER", "the folder to write below", true},
        {"--max-output", "SIZE",
         "the most all files together may hold (default 1G, that\n"
         "is 1 GiB); SIZE is bytes, or KiB, MiB or GiB with K, M\n"
         "or G. The entries' sizes in the headers are added up\n"
         "before anything is written, and an archive that\n"
         "declares more is refused whole."},
    },
    "Writes every entry of an installer or a bare ARJ archive below FOLDER\n"
    "(created when missing), through the installer's own reader and decoder:\n"
    "names lower-cased, each file's CRC-32 checked, times set from the ARJ\n"
    "header (local time; seconds since 1970 in archives made on Unix), folder\n"
    "entries made as folders. Extraction stops at the first entry it cannot\n"
    "write safely: a name that could leave FOLDER, a symbolic link already\n"
    "below FOLDER in the way (nothing is written through one; FOLDER itself\n"
    "may be a link), or a second entry for a file already written. A file\n"
    "that exists is replaced.\n",
    nullptr,
    RunExtract};

}  // namespace kest
