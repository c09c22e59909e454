// A bounds-checked reader of the parts of a PE image that packaging needs:
// where the last section's raw data ends (the archive is appended there) and
// the file version in the version resource.
//
//   offset            size  field
//   0                    2  "MZ"
//   0x3C                 4  e_lfanew: offset of the PE signature
//   e_lfanew             4  "PE\0\0"
//   +4                  20  COFF header: machine (+0), section count (+2),
//                           optional header size (+16)
//   +24                  .  optional header: magic 0x10B (PE32) or 0x20B
//                           (PE32+); data directory 2 is the resources
//   +24 + optional size  .  section table, 40 bytes per section: virtual
//                           size (+8), address (+12), raw size (+16), raw
//                           offset (+20)
//
// Every read is checked against the bytes given; a malformed image is
// refused with a reason, never read outside its buffer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kest {

struct PeSection {
  uint32_t virtual_address;
  uint32_t virtual_size;
  uint32_t raw_offset;
  uint32_t raw_size;
};

class PeImage {
 public:
  // Reads the headers of data[0..size); the bytes must outlive the object.
  // On false *error names what is wrong.
  bool Parse(const uint8_t* data, size_t size, const char** error);

  // The end of the raw data of the section that ends last in the file.
  uint32_t EndOfSections() const { return end_of_sections_; }
  // The COFF header's machine: 0x14C for i386, 0x8664 for x86-64.
  uint16_t Machine() const { return machine_; }

  // The file version words (major, minor, build, revision) of the first
  // version resource's VS_FIXEDFILEINFO. False when there is none or it is
  // malformed.
  bool FixedFileVersion(uint16_t (&version)[4]) const;

 private:
  // The file offset of `length` bytes at rva inside one section's raw data.
  bool MapRva(uint32_t rva, uint32_t length, uint32_t* offset) const;
  bool FindVersionResource(uint32_t* offset, uint32_t* length) const;

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  std::vector<PeSection> sections_;
  uint32_t end_of_sections_ = 0;
  uint16_t machine_ = 0;
  uint32_t resource_rva_ = 0;
  uint32_t resource_size_ = 0;
};

// The file version words of a PE file's version resource, or all zero when
// data is not a PE image or has no usable version resource.
void ReadFileVersion(const uint8_t* data, size_t size, uint16_t (&version)[4]);

}  // namespace kest
