#include "packaging/header_builder.h"

#include <cstring>

namespace kest {
namespace {

uint8_t* Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  return p + 2;
}

uint8_t* Put32(uint8_t* p, uint32_t v) {
  p = Put16(p, v & 0xFFFF);
  return Put16(p, v >> 16);
}

uint32_t CrcOf(Crc32& crc, const uint8_t* data, uint32_t size) {
  crc.Reset();
  crc.Update(data, size);
  return crc.Value();
}

}  // namespace

uint32_t BuildHeader(const EntryFields& f, const char* name, uint32_t name_size, Crc32& crc,
                     uint8_t* out) {
  const uint32_t basic_size = kLeastFirstHeaderSize + name_size + 2;
  uint8_t* p = Put16(out, kArjHeaderId);
  p = Put16(p, basic_size);
  uint8_t* basic = p;
  *p++ = static_cast<uint8_t>(kLeastFirstHeaderSize);
  *p++ = f.archiver_version;
  *p++ = f.minimum_version;
  *p++ = f.host_os;
  *p++ = f.flags;
  *p++ = f.method;
  *p++ = f.file_type;
  *p++ = f.reserved;
  p = Put32(p, f.dos_time);
  p = Put32(p, f.packed_size);
  p = Put32(p, f.original_size);
  p = Put32(p, f.data_crc);
  p = Put16(p, f.file_spec_position);
  p = Put16(p, f.access_mode);
  p = Put16(p, f.host_data);
  std::memcpy(p, name, name_size);
  p += name_size;
  *p++ = 0;  // name terminator
  *p++ = 0;  // empty comment
  p = Put32(p, CrcOf(crc, basic, basic_size));
  p = Put16(p, kQel1ExtensionSize);
  uint8_t* extension = p;
  std::memcpy(p, "Qel1", 4);
  p += 4;
  for (uint16_t word : f.version) p = Put16(p, word);
  p = Put32(p, static_cast<uint32_t>(f.file_time));
  p = Put32(p, static_cast<uint32_t>(f.file_time >> 32));
  p = Put32(p, f.value);
  p = Put32(p, CrcOf(crc, extension, kQel1ExtensionSize));
  p = Put16(p, 0);
  return static_cast<uint32_t>(p - out);
}

}  // namespace kest
