#include "verify/modern_record.h"

#include <gtest/gtest.h>

#include <cstring>

#include "openssl_test_keys.h"

namespace kest {
namespace {

using kest_test::Bytes;

Bytes Record() {
  uint8_t signature[kModernSignatureBytes], record[kModernRecordBytes];
  for (size_t i = 0; i < sizeof signature; ++i) signature[i] = uint8_t(i * 5 + 1);
  BuildModernRecord(signature, record);
  return Bytes(record, record + sizeof record);
}

TEST(ModernRecord, LayoutAsWrittenDown) {
  // The layout from the record's description, byte by byte.
  const Bytes r = Record();
  ASSERT_EQ(r.size(), 404u);
  EXPECT_EQ(Bytes(r.begin(), r.begin() + 8), Bytes({'K', 'e', 's', 't', 'S', 'i', 'g', '2'}));
  EXPECT_EQ(Bytes(r.begin() + 8, r.begin() + 12), Bytes({0x01, 0x00, 0x80, 0x01}));
  EXPECT_EQ(r[12], 1u);
  EXPECT_EQ(r[12 + 383], uint8_t(383 * 5 + 1));
  EXPECT_EQ(Bytes(r.begin() + 396, r.end()), Bytes({'K', 'e', 's', 't', 'S', 'i', 'g', '2'}));
}

TEST(ModernRecord, TableOfRecords) {
  const Bytes good = Record();
  auto with = [&](size_t at, uint8_t value) {
    Bytes r = good;
    r[at] = value;
    return r;
  };
  Bytes longer = good;
  longer.insert(longer.end(), {1, 2, 3});
  using C = ModernRecordCheck;
  struct {
    const char* name;
    Bytes bytes;
    C check;
  } const kCases[] = {
      {"whole record", good, C::kOk},
      {"record and bytes after it", longer, C::kOk},
      {"signature byte changed (the check is the signature's)", with(200, 0), C::kOk},
      {"nothing", Bytes(), C::kAbsent},
      {"one byte", Bytes(1, 'K'), C::kMalformed},
      {"one byte short", Bytes(good.begin(), good.end() - 1), C::kMalformed},
      {"magic only", Bytes(good.begin(), good.begin() + 8), C::kMalformed},
      {"magic damaged", with(0, 'k'), C::kMalformed},
      {"unknown scheme", with(8, 2), C::kMalformed},
      {"scheme high byte", with(9, 1), C::kMalformed},
      {"signature length 383", with(10, 0x7F), C::kMalformed},
      {"signature length high byte", with(11, 0x02), C::kMalformed},
      {"end magic damaged", with(403, '3'), C::kMalformed},
      {"zeros", Bytes(404, 0), C::kMalformed},
  };
  for (const auto& c : kCases) {
    Bytes copy = c.bytes;  // own allocation: ASan sees overreads
    const uint8_t* signature = nullptr;
    EXPECT_EQ(CheckModernRecord(copy.data(), copy.size(), &signature), c.check) << c.name;
    if (c.check == C::kOk) {
      EXPECT_EQ(signature, copy.data() + 12) << c.name;
    }
  }
}

}  // namespace
}  // namespace kest
