// PackageReader::ExtractEntry: writes the current entry to its output path,
// checks its CRC-32 and gives it the header's time.
//
// What is left on disk after a failure: nothing when the file could not be
// created; the file is deleted whenever the entry-ok flag was cleared (bad
// CRC, failed stored write, bad table, no window, disk full, unknown
// method). A decoder write that failed for another reason clears the
// archive-usable flag instead; that file is kept, with its time set.
#include <memory>

#include "archive/entry_decoder.h"
#include "archive/package_reader.h"
#include "archive/reader_codes.h"

namespace kest {

void PackageReader::ExtractStored(ByteSink& out) {
  const EntryHeader& e = entry_;
  // Never reach past the packed bytes held in memory.
  if (e.original_size > e.packed_size) {
    Record(kReaderBadCrc);
    return;
  }
  crc_.Reset();
  crc_.Update(data_, e.original_size);
  if (crc_.Value() != e.data_crc) {
    Record(kReaderBadCrc);
    return;
  }
  const uint32_t error = out.Write(data_, e.original_size);
  if (error != 0) Record(error);
}

void PackageReader::ExtractCompressed(ByteSink& out) {
  const EntryHeader& e = entry_;
  const uint32_t error =
      DecodeEntry(data_, e.packed_size, e.original_size, crc_, &decoder_crc_, out, &window_);
  if (error != 0) {
    Record(error);
    return;
  }
  // The register is the complement of the CRC exactly when the two add up
  // to all ones.
  if (e.data_crc + decoder_crc_ != 0xFFFFFFFF) Record(kReaderBadCrc);
}

bool PackageReader::DecodeEntryTo(ByteSink& out) {
  if (!usable_ || !has_entry_) return false;
  const uint32_t error = error_;
  const bool entry_ok = entry_ok_;
  entry_ok_ = true;
  switch (entry_.method) {
    case 0:
      ExtractStored(out);
      break;
    case 1:
    case 2:
    case 3:
      ExtractCompressed(out);
      break;
    default:
      Record(kReaderBadMethod);
      break;
  }
  const bool decoded = usable_ && entry_ok_;
  error_ = error;
  entry_ok_ = entry_ok;
  usable_ = true;
  return decoded;
}

bool PackageReader::ExtractEntry() {
  entry_ok_ = true;
  if (!usable_) return false;
  if (!has_entry_) {
    Record(kReaderNoEntry);
    return false;
  }
  const char* path = entry_.name();
  std::unique_ptr<OutputFile> file;
  const uint32_t error = files_.Create(path, &file);
  if (error != 0) {
    Record(error);
    return false;
  }
  switch (entry_.method) {
    case 0:
      ExtractStored(*file);
      break;
    case 1:
    case 2:
    case 3:
      ExtractCompressed(*file);
      break;
    default:
      Record(kReaderBadMethod);
      break;
  }
  if (entry_ok_) file->SetDosTime(entry_.dos_time);  // a failure here is ignored
  file->Close();
  if (!entry_ok_) files_.Delete(path);
  return usable_ && entry_ok_;
}

}  // namespace kest
