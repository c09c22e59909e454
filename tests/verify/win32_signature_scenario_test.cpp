// The installer under Wine refuses a changed package. The signed package
// comes from kestpack (a host tool), so the run provides one:
// KEST_SIGNED_PACKAGE names it, else sample/MorvaneSetup.exe in this build
// (scripts/test.sh builds the sample package before the Win32 tests).
// Every variant is a copy with one change, run silently; the full 32-bit
// exit code is the verdict.
#include <gtest/gtest.h>

#include <string>

#include "tests/install/test_key_signer.h"
#include "tests/support/win32_test_support.h"
#include "verify/archive_offset_slot.h"
#include "verify/modern_record.h"
#include "verify/public_key_slot.h"
#include "verify/signature_record.h"

namespace kest {
namespace {

uint32_t Le32(const std::string& s, size_t at) {
  return uint8_t(s[at]) | uint8_t(s[at + 1]) << 8 | uint8_t(s[at + 2]) << 16 |
         uint32_t(uint8_t(s[at + 3])) << 24;
}

struct Variant {
  const char* name;
  std::string bytes;
  DWORD exit_code;
};

TEST(SignatureScenario, ChangedPackagesAreRefusedWithTheRightCode) {
  std::string package;
  const std::string path = test::SampleInstallerPath();
  ASSERT_TRUE(test::ReadWholeFile(path, &package))
      << "no signed package at " << path << "; scripts/sample.sh builds it";
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(package.data());
  const size_t slot = FindArchiveOffsetSlot(bytes, package.size());
  ASSERT_LT(slot, package.size()) << "no archive offset slot";
  const size_t a = Le32(package, slot + kSlotOffsetField);
  // Main header: 60 EA, B, B bytes, CRC, extension size 24, "Qel1" ... value.
  const size_t qel1 = a + 4 + (uint8_t(package[a + 2]) | uint8_t(package[a + 3]) << 8) + 6;
  ASSERT_EQ(package.compare(qel1, 4, "Qel1"), 0);
  const size_t end = a + Le32(package, qel1 + 20);
  ASSERT_EQ(package.compare(end, 8, std::string("RuvxSig\0", 8)), 0);
  const size_t pe = Le32(package, 0x3C);

  auto changed = [&](size_t at, uint8_t mask = 0x5A) {
    std::string b = package;
    b[at] = char(b[at] ^ mask);
    return b;
  };
  // The same image and archive signed again, with the public-key slot as
  // it is or emptied: the installer takes its key from the slot alone.
  const size_t key_slot = FindPublicKeySlot(bytes, a);
  ASSERT_LT(key_slot, a) << "no public-key slot";
  std::string unfilled = package.substr(0, end);
  unfilled.replace(key_slot + kKeySlotKeyField, kPublicKeyDerBytes, kPublicKeyDerBytes, '\0');
  const std::string resigned = test::SignWithTestKey(package.substr(0, end));
  ASSERT_FALSE(resigned.empty()) << "the test key cannot be read";
  const DWORD kDamaged = 0x8040F001;
  // Image changes stay where the loader does not look (the DOS stub, the
  // link time stamp, the slot's marker text) so that the process starts.
  const Variant kVariants[] = {
      {"intact", package, 0},
      {"bytes after the signature record", package + std::string(20, 'x'), 0},
      {"DOS stub text", changed(0x60), kDamaged},
      {"link time stamp", changed(pe + 8), kDamaged},
      {"slot marker text", changed(slot + 2), kDamaged},
      {"main header's Qel1 magic (its CRC is never checked)", changed(qel1 + 1), kDamaged},
      {"first entry's header", changed(qel1 + 30 + 10), kDamaged},
      {"last entry's packed data", changed(end - 5), kDamaged},
      {"end marker", changed(end - 1), kDamaged},
      {"second marker", changed(end + kSecondMarkerOffset + 1), kDamaged},
      {"signer in other case", changed(end + kSignerOffset + 8, 0x20), kDamaged},
      {"signature", changed(end + kSignatureOffset + 40), kDamaged},
      {"main header name (its CRC is checked first)", changed(a + 34), 0x400B},
      {"archive offset moved", changed(slot + kSlotOffsetField), 0x4012},
      {"cut short inside the archive", package.substr(0, end - 200), 0x401E},
      {"signed again with the test key", resigned, 0},
      {"key slot unfilled, signed again with the test key", test::SignWithTestKey(unfilled),
       kDamaged},
      {"a byte of the key in the slot", changed(key_slot + kKeySlotKeyField + 60), kDamaged},
  };
  test::ScratchFolder folder;
  int n = 0;
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.name);
    const std::string exe = folder.File("variant" + std::to_string(n++) + ".exe");
    ASSERT_TRUE(test::WriteWholeFile(exe, v.bytes));
    const std::string target = folder.File("target");
    test::ProcessResult result = test::RunProcess("\"" + exe + "\" /U0 \"" + target + "\"");
    ASSERT_TRUE(result.started);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exit_code, v.exit_code) << std::hex << "0x" << result.exit_code;
  }
}

// A vendor's own key through the key slot: the sample pack signed with a
// key pair from kestpack keygen, on this build's stub (which carries the
// test key), with build --public-key; scripts/sample.sh makes it.
TEST(SignatureScenario, AVendorKeyInTheSlotInstalls) {
  const std::string path = test::WindowsPath(KEST_BINARY_DIR "/sample/VendorKey.exe");
  std::string package;
  ASSERT_TRUE(test::ReadWholeFile(path, &package))
      << "no package at " << path << "; scripts/sample.sh builds it";
  std::string vendor_der;
  ASSERT_TRUE(test::ReadWholeFile(test::WindowsPath(KEST_BINARY_DIR "/sample/vendor.der"),
                                  &vendor_der));
  ASSERT_EQ(vendor_der.size(), kPublicKeyDerBytes);
  const size_t key_slot =
      FindPublicKeySlot(reinterpret_cast<const uint8_t*>(package.data()), package.size());
  ASSERT_LT(key_slot, package.size());
  EXPECT_EQ(package.compare(key_slot + kKeySlotKeyField, kPublicKeyDerBytes, vendor_der), 0);

  test::ScratchFolder folder;
  const std::string exe = folder.File("vendor.exe"), target = folder.File("target");
  ASSERT_TRUE(test::WriteWholeFile(exe, package));
  test::ProcessResult result = test::RunProcess("\"" + exe + "\" /U0 \"" + target + "\"");
  ASSERT_TRUE(result.started);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exit_code, 0u) << std::hex << "0x" << result.exit_code;
  std::string readme;
  EXPECT_TRUE(test::ReadWholeFile(target + "\\readme.txt", &readme));
}

// The second signature record, checked by this build's stub once kestpack
// has put the modern TEST key into its modern-key slot: scripts/sample.sh
// makes ModernKey.exe (record optional) and ModernRequired.exe (the slot's
// required flag set). A sample of the record's bytes is changed here; the
// host tests change every one of them.
TEST(SignatureScenario, TheSecondRecordIsCheckedWhenTheStubHoldsAModernKey) {
  std::string optional, required;
  const std::string optional_path = test::WindowsPath(KEST_BINARY_DIR "/sample/ModernKey.exe");
  const std::string required_path =
      test::WindowsPath(KEST_BINARY_DIR "/sample/ModernRequired.exe");
  ASSERT_TRUE(test::ReadWholeFile(optional_path, &optional))
      << "no package at " << optional_path << "; scripts/sample.sh builds it";
  ASSERT_TRUE(test::ReadWholeFile(required_path, &required))
      << "no package at " << required_path << "; scripts/sample.sh builds it";
  ASSERT_GT(optional.size(), kSignatureRecordBytes + kModernRecordBytes);
  const size_t second = optional.size() - kModernRecordBytes;
  ASSERT_EQ(optional.compare(second, 8, "KestSig2"), 0);
  ASSERT_EQ(optional.compare(second - kSignatureRecordBytes, 8, std::string("RuvxSig\0", 8)), 0);
  auto changed = [&](size_t at) {
    std::string b = optional;
    b[second + at] = char(b[second + at] ^ 0x01);
    return b;
  };
  const std::string first_only = optional.substr(0, second);
  const DWORD kDamaged = 0x8040F001;
  const Variant kVariants[] = {
      {"both records", optional, 0},
      {"magic, first byte", changed(0), kDamaged},
      {"magic, last byte", changed(7), kDamaged},
      {"scheme", changed(kModernSchemeOffset), kDamaged},
      {"scheme, high byte", changed(kModernSchemeOffset + 1), kDamaged},
      {"signature length", changed(kModernLengthOffset), kDamaged},
      {"signature, first byte", changed(kModernSignatureOffset), kDamaged},
      {"signature, a middle byte", changed(kModernSignatureOffset + 191), kDamaged},
      {"signature, last byte", changed(kModernEndOffset - 1), kDamaged},
      {"end magic, last byte", changed(kModernRecordBytes - 1), kDamaged},
      {"record cut short", optional.substr(0, optional.size() - 1), kDamaged},
      {"other bytes in place of the record", first_only + std::string(kModernRecordBytes, 'x'),
       kDamaged},
      {"record absent, not required", first_only, 0},
      {"bytes after the record", optional + std::string(20, 'x'), 0},
      {"required, both records", required, 0},
      {"required, record absent", required.substr(0, required.size() - kModernRecordBytes),
       kDamaged},
  };
  test::ScratchFolder folder;
  int n = 0;
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.name);
    const std::string exe = folder.File("modern" + std::to_string(n++) + ".exe");
    ASSERT_TRUE(test::WriteWholeFile(exe, v.bytes));
    const std::string target = folder.File("target" + std::to_string(n));
    test::ProcessResult result = test::RunProcess("\"" + exe + "\" /U0 \"" + target + "\"");
    ASSERT_TRUE(result.started);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exit_code, v.exit_code) << std::hex << "0x" << result.exit_code;
  }
}

}  // namespace
}  // namespace kest
