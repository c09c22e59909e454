#include <cstdio>
#include <ctime>

#include "archive/entry_header.h"
#include "archive/package_reader.h"
#include "archive/posix_output_files.h"
#include "archive/reader_codes.h"
#include "tools/kestpack/commands.h"
#include "tools/kestpack/file_times.h"
#include "tools/kestpack/manifest_report.h"
#include "tools/kestpack/package_errors.h"
#include "tools/kestpack/package_file.h"
#include "tools/kestpack/printable_text.h"
#include "verify/modern_record.h"
#include "verify/signature_record.h"

namespace kest {
namespace {

const char* const kMethodNames[] = {"stored", "m1", "m2", "m3"};

// The largest manifest list reads to show; the installer's manifests are a
// few kilobytes.
constexpr uint32_t kManifestLoadBytes = 1u << 20;

std::string FormatTime(const EntryHeader& entry) {
  char text[40];
  struct tm t;
  if (entry.file_time != 0 || entry.host_os == kArjHostUnix) {
    // The Qel1 file time, or the header time of an archive made on Unix.
    time_t seconds = entry.file_time != 0 ? time_t(FileTimeToUnix(entry.file_time))
                                          : time_t(entry.dos_time);
    if (gmtime_r(&seconds, &t) == nullptr) return "?";
    strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &t);
  } else {
    // No Qel1 time (another archiver's archive): the DOS local time.
    snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u local",
             (entry.dos_time >> 25) + 1980, (entry.dos_time >> 21) & 0xF,
             (entry.dos_time >> 16) & 0x1F, (entry.dos_time >> 11) & 0x1F,
             (entry.dos_time >> 5) & 0x3F, (entry.dos_time & 0x1F) * 2);
  }
  return text;
}

// Which signature records the trailer at start holds, as a line; read
// through source, at most the two records' length. The signatures are not
// checked here.
std::string DescribeSignatureRecords(ByteSource& source, uint32_t start, uint32_t file_size) {
  const std::string head = "signature records: ";
  if (start > file_size) return head + "none (the file ends before the archive does)\n";
  uint8_t trailer[kSignatureRecordBytes + kModernRecordBytes];
  uint32_t size = file_size - start;
  if (size > sizeof trailer) size = uint32_t(sizeof trailer);
  uint32_t got = 0;
  if (source.Seek(start) != 0 || ReadFully(source, trailer, size, &got) != 0 || got != size) {
    return head + "unknown (the trailer cannot be read)\n";
  }
  const uint8_t* signature = nullptr;
  switch (CheckSignatureRecord(trailer, size, &signature)) {
    case RecordCheck::kOk: break;
    case RecordCheck::kTooShort: return head + "none (no 144-byte record after the archive)\n";
    case RecordCheck::kBadMarker:
    case RecordCheck::kUnknownSigner: return head + "first record damaged\n";
  }
  std::string text = head + "first (RSA-768, MD5)";
  switch (CheckModernRecord(trailer + kSignatureRecordBytes, size - kSignatureRecordBytes,
                            &signature)) {
    case ModernRecordCheck::kOk: text += ", second (RSA-3072, SHA-256)"; break;
    case ModernRecordCheck::kAbsent: text += "; no second record"; break;
    case ModernRecordCheck::kMalformed:
      text += "; the bytes after it are not a second record";
      break;
  }
  return text + " (not checked: see kestpack verify)\n";
}

int RunList(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!BeginCommand(kListCommand, args, &parsed, &status)) {
    return status;
  }
  std::string error;
  OpenedPackage file;
  if (!OpenPackageOnDisk(parsed.operands[0], &file, &error)) {
    PrintError(error);
    return kExitBadInput;
  }
  // One pass through one open file. Only the data of the two entries that
  // may be manifests are loaded, and only up to kManifestLoadBytes: every
  // other entry's data is passed over, so memory stays small whatever the
  // file's size.
  PosixFileSystem no_output;
  BareArchiveReader reader(file.source.get(), false, no_output);
  reader.set_load_limit(kManifestLoadBytes);
  if (!reader.Open()) {
    PrintError(file.path + ": " + DescribeReaderError(reader.GetError()));
    return kExitBadInput;
  }
  printf("%s: %s, archive at offset %u, archive length %u%s\n", Printable(file.path).c_str(),
         file.Kind(), file.layout.archive_offset, reader.GetArchiveLength(),
         reader.GetArchiveLength() == 0 ? " (not recorded)" : "");
  printf("%-7s %10s %10s  %-19s %-23s %s\n", "method", "packed", "original", "version",
         "time", "name");
  ManifestPicker manifests;
  do {
    manifests.Offer(reader.GetEntryData(), reader.GetEntryPackedSize());
    // No later entry is taken for a manifest.
    if (manifests.offered() == 2) reader.set_load_limit(0);
    const EntryHeader& e = reader.entry();
    uint16_t v[4];
    char version[24] = "-";
    if (reader.GetEntryVersion(v)) snprintf(version, sizeof version, "%u.%u.%u.%u", v[0], v[1], v[2], v[3]);
    printf("%-7s %10u %10u  %-19s %-23s %s\n", e.method < 4 ? kMethodNames[e.method] : "?",
           e.packed_size, e.original_size, version, FormatTime(e).c_str(), Printable(reader.GetEntryName()).c_str());
  } while (reader.NextEntry());
  if (reader.GetError() != kReaderEndOfArchive) {
    PrintError(file.path + ": " + DescribeReaderError(reader.GetError()));
    return kExitBadInput;
  }
  printf("%s", manifests.Describe().c_str());
  if (file.layout.installer) {
    printf("%s", DescribeSignatureRecords(*file.source, file.layout.archive_offset +
                                                            reader.GetArchiveLength(),
                                          file.size)
                     .c_str());
  }
  return kExitOk;
}

}  // namespace

const Subcommand kListCommand = {
    "list",
    "FILE",
    {},
    "Lists the entries of an installer or a bare ARJ archive (written by kestpack\n"
    "or any ARJ archiver) as the installer's reader sees them: method, packed and\n"
    "original size, file version (- for none), file time (UTC from the entry's\n"
    "Qel1 extension or from an archive made on Unix, else the ARJ local time)\n"
    "and name (lower-cased, '\\' between folders, control characters and bytes\n"
    "that are not UTF-8 shown as \\xHH); and the archive's offset and length.\n"
    "Then the two manifests as the installer reads them: their records with\n"
    "every field's exact text (shown like the names), the obsolete files, and\n"
    "the lines the installer would skip.\n"
    "Last, which signature records follow the archive: the first (RSA-768, MD5)\n"
    "and the second (RSA-3072, SHA-256). They are not checked (see kestpack\n"
    "verify).\n",
    nullptr,
    RunList};

}  // namespace kest
