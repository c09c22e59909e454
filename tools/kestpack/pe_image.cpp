#include "tools/kestpack/pe_image.h"

namespace kest {
namespace {

constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint32_t kCoffHeaderBytes = 20;
constexpr uint32_t kSectionHeaderBytes = 40;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kResourceTypeVersion = 16;
constexpr uint32_t kSubdirectoryBit = 0x80000000u;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr uint32_t kFixedInfoBytes = 52;

// Little-endian reads at off, which the caller has checked to fit.
uint16_t U16(const uint8_t* p, size_t off) { return uint16_t(p[off] | p[off + 1] << 8); }
uint32_t U32(const uint8_t* p, size_t off) {
  return uint32_t(p[off]) | uint32_t(p[off + 1]) << 8 | uint32_t(p[off + 2]) << 16 |
         uint32_t(p[off + 3]) << 24;
}

// off + length lies within size, without overflow.
bool Fits(size_t size, uint64_t off, uint64_t length) { return off <= size && length <= size - off; }

}  // namespace

bool PeImage::Parse(const uint8_t* data, size_t size, const char** error) {
  data_ = data;
  size_ = size;
  sections_.clear();
  end_of_sections_ = resource_rva_ = resource_size_ = 0;
  machine_ = 0;
  if (size < 0x40 || data[0] != 'M' || data[1] != 'Z') {
    *error = "not a PE image (no MZ header)";
    return false;
  }
  uint32_t pe = U32(data, 0x3C);
  if (!Fits(size, pe, 4 + kCoffHeaderBytes) || U32(data, pe) != kPeSignature) {
    *error = "not a PE image (no PE signature)";
    return false;
  }
  uint32_t coff = pe + 4;
  machine_ = U16(data, coff);
  uint32_t section_count = U16(data, coff + 2);
  uint32_t optional_size = U16(data, coff + 16);
  uint64_t optional = uint64_t(coff) + kCoffHeaderBytes;
  if (!Fits(size, optional, optional_size) || optional_size < 2) {
    *error = "truncated optional header";
    return false;
  }
  // Where the directory count and the directories sit depends on the magic.
  uint16_t magic = U16(data, size_t(optional));
  uint32_t count_at = magic == kMagicPe32 ? 92 : magic == kMagicPe32Plus ? 108 : 0;
  if (count_at == 0) {
    *error = "unknown optional header magic";
    return false;
  }
  if (count_at + 4 <= optional_size) {
    uint32_t directories = U32(data, size_t(optional) + count_at);
    uint64_t entry = count_at + 4 + 8 * uint64_t(kResourceDirectory);
    if (directories > kResourceDirectory && entry + 8 <= optional_size) {
      resource_rva_ = U32(data, size_t(optional + entry));
      resource_size_ = U32(data, size_t(optional + entry + 4));
    }
  }
  uint64_t table = optional + optional_size;
  if (section_count == 0 || !Fits(size, table, uint64_t(section_count) * kSectionHeaderBytes)) {
    *error = "missing or truncated section table";
    return false;
  }
  for (uint32_t i = 0; i < section_count; ++i) {
    size_t h = size_t(table) + i * kSectionHeaderBytes;
    PeSection s = {U32(data, h + 12), U32(data, h + 8), U32(data, h + 20), U32(data, h + 16)};
    if (s.raw_size != 0) {
      uint64_t end = uint64_t(s.raw_offset) + s.raw_size;
      if (end > size) {
        *error = "a section's raw data lies beyond the end of the file";
        return false;
      }
      if (end > end_of_sections_) end_of_sections_ = uint32_t(end);
    }
    sections_.push_back(s);
  }
  return true;
}

bool PeImage::MapRva(uint32_t rva, uint32_t length, uint32_t* offset) const {
  for (const PeSection& s : sections_) {
    if (rva < s.virtual_address) continue;
    uint64_t into = uint64_t(rva) - s.virtual_address;
    if (into + length > s.raw_size) continue;
    *offset = uint32_t(s.raw_offset + into);
    return true;  // inside raw data, which Parse checked against the file
  }
  return false;
}

// Resource tree: three levels of directories (type, name, language), each
// 16 bytes with the named-entry count at +12 and the id-entry count at +14,
// followed by 8-byte entries (name or id, offset; the offset's high bit marks
// a subdirectory). Offsets are from the start of the resource data. The leaf
// is a data entry: RVA (+0) and size (+4) of the resource bytes.
bool PeImage::FindVersionResource(uint32_t* offset, uint32_t* length) const {
  uint32_t base;
  if (resource_rva_ == 0 || resource_size_ == 0 ||
      !MapRva(resource_rva_, resource_size_, &base)) {
    return false;
  }
  const uint8_t* tree = data_ + base;
  const uint32_t tree_size = resource_size_;
  uint32_t directory = 0;
  for (int level = 0; level < 3; ++level) {
    if (!Fits(tree_size, directory, 16)) return false;
    uint32_t named = U16(tree, directory + 12), ids = U16(tree, directory + 14);
    uint64_t entries = uint64_t(directory) + 16;
    if (!Fits(tree_size, entries, 8 * uint64_t(named + ids))) return false;
    // Level 0: the id entry RT_VERSION. Below it: the first entry, whatever
    // its name or language.
    uint32_t chosen = 0xFFFFFFFF;
    for (uint32_t i = 0; i < named + ids; ++i) {
      uint32_t name = U32(tree, size_t(entries) + 8 * i);
      if (level > 0 || (i >= named && name == kResourceTypeVersion)) {
        chosen = U32(tree, size_t(entries) + 8 * i + 4);
        break;
      }
    }
    if (chosen == 0xFFFFFFFF) return false;
    bool subdirectory = (chosen & kSubdirectoryBit) != 0;
    if (subdirectory != (level < 2)) return false;
    directory = chosen & ~kSubdirectoryBit;
  }
  if (!Fits(tree_size, directory, 16)) return false;
  uint32_t rva = U32(tree, directory), size = U32(tree, directory + 4);
  if (!MapRva(rva, size, offset)) return false;
  *length = size;
  return true;
}

// VS_VERSIONINFO: length (u16), value length (u16), type (u16), the key
// L"VS_VERSION_INFO" with its terminator, padding to a 4-byte boundary, then
// the 52-byte VS_FIXEDFILEINFO: signature 0xFEEF04BD, structure version,
// file version MS (+8) and LS (+12).
bool PeImage::FixedFileVersion(uint16_t (&version)[4]) const {
  uint32_t at, length;
  if (!FindVersionResource(&at, &length)) return false;
  const uint8_t* res = data_ + at;
  if (length < 6) return false;
  uint32_t declared = U16(res, 0), value_length = U16(res, 2);
  if (declared < length) length = declared;
  uint32_t key = 6;
  while (true) {  // the key's UTF-16 terminator
    if (!Fits(length, key, 2)) return false;
    uint16_t unit = U16(res, key);
    key += 2;
    if (unit == 0) break;
  }
  uint32_t fixed = (key + 3) & ~3u;
  if (value_length < kFixedInfoBytes || !Fits(length, fixed, kFixedInfoBytes) ||
      U32(res, fixed) != kFixedInfoSignature) {
    return false;
  }
  uint32_t ms = U32(res, fixed + 8), ls = U32(res, fixed + 12);
  version[0] = uint16_t(ms >> 16);
  version[1] = uint16_t(ms);
  version[2] = uint16_t(ls >> 16);
  version[3] = uint16_t(ls);
  return true;
}

void ReadFileVersion(const uint8_t* data, size_t size, uint16_t (&version)[4]) {
  version[0] = version[1] = version[2] = version[3] = 0;
  PeImage image;
  const char* error;
  uint16_t found[4];
  if (image.Parse(data, size, &error) && image.FixedFileVersion(found)) {
    for (int i = 0; i < 4; ++i) version[i] = found[i];
  }
}

}  // namespace kest
