// PackageReader: the forward-only reader of a package archive, one entry at
// a time. Moving to an entry reads its header and loads its packed bytes
// whole into memory (a source that holds them in memory lends them
// instead); the entry can then be inspected, its packed bytes used
// directly, or extracted to a file (ExtractEntry, in extract.cpp).
//
// Every operation returns true/false and records why in the error word: a
// code is ORed in and never cleared while the reader lives. A code above
// kCodeDiskFull (every install code but that one) clears the archive-usable
// flag (the reader is finished); any other code (the codes of
// reader_codes.h, system error codes, a full disk) clears only the entry-ok
// flag.
//
// Subclassing: ReadTrailer is called once by Open(), after the main header
// has been read (GetArchiveLength() is set) and before the first entry is
// read. It is given the reader's source, must leave its position where it
// found it, records its failures with Record() and returns false to stop
// the construction. archive_start() + GetArchiveLength() is where the
// archive ends and the trailer begins.
#pragma once
#include <cstdint>
#include <memory>

#include "archive/crc32.h"
#include "archive/entry_decoder.h"
#include "archive/entry_header.h"
#include "archive/output_file.h"
#include "base/byte_io.h"

namespace kest {

class PackageReader {
 public:
  // source is positioned at the archive's start; the reader deletes it at
  // destruction when owns_source. ExtractEntry writes through files. Both
  // must outlive the reader.
  PackageReader(ByteSource* source, bool owns_source, OutputFileSystem& files);
  virtual ~PackageReader();
  PackageReader(const PackageReader&) = delete;
  PackageReader& operator=(const PackageReader&) = delete;

  // The construction steps: reads the main header, the trailer
  // (ReadTrailer) and the first entry with its packed data. Returns
  // IsUsable(). Call once.
  bool Open();

  // The current entry's packed bytes (GetEntryPackedSize() of them), valid
  // until the next move; null when there is no current entry.
  virtual const uint8_t* GetEntryData() const;
  virtual uint32_t GetEntryPackedSize() const;
  // Moves to the next entry. False at the end (0x4019 recorded; the reader
  // stays usable) or on an error; there is then no current entry.
  virtual bool NextEntry();
  // Writes the current entry to GetEntryName(); true when it was written,
  // its CRC matched and the reader is still usable. A failed output is
  // deleted unless the decoder's write failed with other than a full disk.
  virtual bool ExtractEntry();
  // Decodes the current entry again into out, checking its CRC, without
  // touching the disk; true when out took all of it and the CRC matched.
  // The error word and flags are left as they were: a sink may refuse the
  // bytes (a comparison that found a difference) without that counting as
  // the reader's failure.
  bool DecodeEntryTo(ByteSink& out);
  virtual uint32_t GetError() const { return error_; }
  virtual bool IsUsable() const { return usable_; }
  virtual bool ReadTrailer(ByteSource& source) = 0;
  // The current entry's name (lower-cased, "\" separators) or, after
  // SetEntryName, its output path; "" when there is no current entry.
  virtual const char* GetEntryName() const;
  // Makes path the output path. False when it cannot be copied (nothing is
  // recorded) or there is no current entry.
  virtual bool SetEntryName(const char* path);
  // The four version words of the current entry; false when all are zero.
  virtual bool GetEntryVersion(uint16_t version[4]) const;
  // The archive length L from the main header's Qel1 extension.
  virtual uint32_t GetArchiveLength() const { return archive_length_; }
  // The current entry's Windows file time from its Qel1 extension.
  virtual uint64_t GetEntryFileTime() const;

  bool entry_ok() const { return entry_ok_; }
  // True between a successful move and the next one.
  bool HasEntry() const { return has_entry_; }
  // Where the current record's header begins in the source.
  uint32_t entry_start() const { return entry_start_; }
  // Reads the archive again from the record whose header begins at start
  // (an entry_start() value of this reader), which becomes the current
  // one, as a move to it would make it: a later pass over the same entries
  // sees them as the first did. The error word starts afresh. Returns
  // true when an entry was read; at the end marker false, with the reader
  // usable and 0x4019 recorded, as NextEntry.
  bool ReturnToEntry(uint32_t start);
  // The current record: an entry, the end marker after the end, or empty.
  const EntryHeader& entry() const { return entry_; }
  const EntryHeader& main_header() const { return main_; }
  // The source position at which the archive starts.
  uint32_t archive_start() const { return archive_start_; }

  // Entries whose packed size is above limit are refused like a failed
  // allocation (kCodeOutOfMemory). No limit by default; the fuzz targets
  // set one so that a forged size cannot ask for gigabytes.
  void set_packed_size_limit(uint32_t limit) { packed_size_limit_ = limit; }
  // For tools that look at headers only, so that memory stays small
  // whatever the entries' sizes: from the next move on, the packed data of
  // an entry above limit bytes is passed over (the source moves past it)
  // instead of loaded, and GetEntryData gives null for that entry, which
  // must then not be extracted. Everything is loaded by default.
  void set_load_limit(uint32_t limit) { load_limit_ = limit; }

 protected:
  // Whether the end marker may be the last bytes of the source (see
  // EndMarker); a package is followed by its trailer.
  void set_end_marker(EndMarker end) { end_marker_ = end; }
  // ORs code into the error word and clears the flag it concerns.
  void Record(uint32_t code);
  Crc32& crc() { return crc_; }

 private:
  // Reads the record at the source's position and its packed data: the
  // body of NextEntry once the reader is known usable.
  bool ReadNextRecord();
  // Reads the next header into entry_; false with the code recorded.
  bool ReadEntry();
  // Makes the current entry's packed data available: lent by the source
  // when it holds them in memory, else read (zero-filled past the end of
  // the source) into owned_, which is kept from entry to entry and only
  // replaced by a larger block when an entry does not fit (a fresh block
  // per entry costs the system a mapping, a page fault per page and an
  // unmapping for each large entry). Data above the load limit are passed
  // over. Returns 0, kCodeOutOfMemory or the read's system error code.
  uint32_t LoadEntryData();
  void ExtractStored(ByteSink& out);
  void ExtractCompressed(ByteSink& out);

  ByteSource* source_;
  bool owns_source_;
  OutputFileSystem& files_;
  uint32_t archive_start_ = 0;
  uint32_t entry_start_ = 0;
  EntryHeader main_;
  EntryHeader entry_;
  bool has_entry_ = false;
  const uint8_t* data_ = nullptr;          // the packed data: owned_ or lent by the source
  std::unique_ptr<uint8_t[]> owned_;
  uint32_t owned_size_ = 0;                // bytes in owned_
  uint32_t archive_length_ = 0;
  uint32_t error_ = 0;
  bool entry_ok_ = true;
  bool usable_ = false;
  uint32_t packed_size_limit_ = 0xFFFFFFFF;
  uint32_t load_limit_ = 0xFFFFFFFF;
  EndMarker end_marker_ = EndMarker::kFollowed;
  Crc32 crc_;
  uint32_t decoder_crc_ = Crc32::kStart;
  DecodeWindow window_;  // the decoder's, from its first use to the reader's end
};

// A reader for an archive on its own: no image before it and no trailer
// after it (archives written by any ARJ archiver), so its end marker may
// end the data. Its ReadTrailer reads nothing and succeeds.
class BareArchiveReader : public PackageReader {
 public:
  BareArchiveReader(ByteSource* source, bool owns_source, OutputFileSystem& files)
      : PackageReader(source, owns_source, files) {
    set_end_marker(EndMarker::kMayEndData);
  }
  bool ReadTrailer(ByteSource&) override { return true; }
};

}  // namespace kest
