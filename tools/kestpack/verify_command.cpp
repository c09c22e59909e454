#include <cstdio>

#include "archive/posix_output_files.h"
#include "tools/kestpack/commands.h"
#include "tools/kestpack/package_errors.h"
#include "tools/kestpack/package_file.h"
#include "tools/kestpack/printable_text.h"
#include "tools/kestpack/stub_key.h"
#include "verify/modern_record.h"
#include "verify/public_key_slot.h"
#include "verify/signed_package_reader.h"

namespace kest {
namespace {

// The second signature's key, as verify uses it: the file given, else the
// installer's own modern-key slot (none when the slot is unfilled or the
// stub has none, and the installer then checks the first record alone).
// The required flag is the installer's either way. False with *error for
// an unusable key.
bool ChooseModernKey(const ParsedArgs& parsed, const std::vector<uint8_t>& image,
                     ModernKey* modern, std::string* used, std::string* error) {
  bool found = false;
  std::vector<uint8_t> der;
  if (!ReadStubPublicKey(image.data(), image.size(), &found, &der, error, KeyKind::kModern,
                         &modern->required)) {
    return false;
  }
  if (parsed.Has("--modern-public-key")) {
    if (!ReadPublicKeyFile(parsed.Value("--modern-public-key"), &der, error, KeyKind::kModern)) {
      return false;
    }
    *used = "the public key in " + parsed.Value("--modern-public-key");
  } else {
    *used = "the installer's own modern key";
  }
  modern->present = !der.empty();
  if (!modern->present) {
    *used = "no modern key";
    if (modern->required) {
      *error = "the installer requires the second signature but its modern-key slot is "
               "unfilled, so it refuses every package (0x8040F001)";
      return false;
    }
    return true;
  }
  *used += ", " + DescribePublicKey(der);
  if (!ParseRsaPublicKeyDer(der.data(), der.size(), &modern->key, kModernModulusBits)) {
    *error = *used + " is not a usable RSA-3072 key";
    return false;
  }
  return true;
}

int RunVerify(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!BeginCommand(kVerifyCommand, args, &parsed, &status)) return status;
  std::string error;

  OpenedPackage file;
  if (!OpenPackageOnDisk(parsed.operands[0], &file, &error)) {
    PrintError(error);
    return kExitBadInput;
  }
  if (!file.layout.installer) {
    PrintError(file.path + ": FAILED: no signature (a bare archive has no trailer)");
    return kExitBadInput;
  }
  // The key: the file given, else the one the installer itself checks
  // with (its public-key slot), else, for a stub without a slot, the key
  // built into this kestpack. The image is read through the same open file
  // as the signed bytes.
  std::vector<uint8_t> der;
  std::string used;
  bool slot = false;
  std::vector<uint8_t> image(file.layout.archive_offset);
  uint32_t got = 0;
  if (file.source->Seek(0) != 0 ||
      file.source->Read(image.data(), file.layout.archive_offset, &got) != 0 ||
      got != file.layout.archive_offset || file.source->Seek(file.layout.archive_offset) != 0) {
    PrintError(file.path + ": cannot read the installer image");
    return kExitBadInput;
  }
  ModernKey modern = {};
  std::string modern_used;
  if (!ChooseModernKey(parsed, image, &modern, &modern_used, &error)) {
    PrintError(file.path + ": FAILED: " + error);
    return kExitBadInput;
  }
  if (parsed.Has("--public-key")) {
    if (!ReadPublicKeyFile(parsed.Value("--public-key"), &der, &error)) {
      PrintError(error);
      return kExitBadInput;
    }
    used = "the public key in " + parsed.Value("--public-key");
  } else if (!ReadStubPublicKey(image.data(), image.size(), &slot, &der, &error)) {
    PrintError(file.path + ": FAILED: " + error);
    return kExitBadInput;
  } else if (slot && der.empty()) {
    PrintError(file.path + ": FAILED: the installer's public-key slot is unfilled, so it refuses "
               "every package (0x8040F001)");
    return kExitBadInput;
  } else if (slot) {
    used = "the installer's own public key";
  } else {
    uint8_t builtin[kPublicKeyDerBytes];
    ReadBuiltinPublicKeyDer(builtin);
    der.assign(builtin, builtin + sizeof builtin);
    used = "kestpack's built-in key";
  }
  used += ", " + DescribePublicKey(der);
  RsaPublicKey key;
  if (!ParseRsaPublicKeyDer(der.data(), der.size(), &key)) {
    PrintError(file.path + ": FAILED: " + used + " is not a usable RSA-768 key");
    return kExitBadInput;
  }
  // The installer's reader and check on one open file: the signed bytes
  // are read once, in 64 KiB pieces, through the handle the headers come
  // from. No entry's packed data is loaded (the first entry's header is
  // still read and checked), and the trailer after the signature record is
  // never read, so memory stays small whatever the file's size.
  PosixFileSystem no_output;
  SignedPackageReader reader(file.source.get(), false, no_output, &key, &modern);
  reader.set_load_limit(0);
  if (!reader.Open()) {
    const SignatureVerdict verdict = reader.verdict();
    std::string reason = verdict != SignatureVerdict::kPass ? DescribeVerdict(verdict)
                                                            : DescribeReaderError(reader.GetError());
    if (verdict == SignatureVerdict::kMismatch) {
      reason += " under " + used + "; the package may be signed with another key";
    } else if (verdict == SignatureVerdict::kModernMismatch) {
      reason += " under " + modern_used + "; the package may be signed with another key";
    }
    if (verdict == SignatureVerdict::kModernMissing ||
        verdict == SignatureVerdict::kModernBadRecord ||
        verdict == SignatureVerdict::kModernMismatch) {
      printf("%s: first signature OK (signer \"%s\", %s)\n", Printable(file.path).c_str(),
             kPackageSigner, Printable(used).c_str());
    }
    PrintError(file.path + ": FAILED: " + reason);
    return kExitBadInput;
  }
  const uint32_t last = file.layout.archive_offset + reader.GetArchiveLength() - 1;
  printf("%s: signature OK (signer \"%s\", bytes 0 to %u, %s)\n",
         Printable(file.path).c_str(), kPackageSigner, last, Printable(used).c_str());
  if (reader.modern_verified()) {
    printf("%s: second signature OK (RSA-3072 SHA-256, bytes 0 to %u and the first record, "
           "%s)\n",
           Printable(file.path).c_str(), last, Printable(modern_used).c_str());
  } else if (modern.present) {
    printf("%s: no second signature record (the installer does not require one; %s)\n",
           Printable(file.path).c_str(), Printable(modern_used).c_str());
  } else {
    printf("%s: second signature not checked: the installer holds no modern key\n",
           Printable(file.path).c_str());
  }
  return kExitOk;
}

}  // namespace

const Subcommand kVerifyCommand = {
    "verify",
    "FILE",
    {
        {"--public-key", "PUBLIC.der", "the key of the first record (RSA-768, 126-byte DER)"},
        {"--modern-public-key", "MODERN.der",
         "the key of the second record (RSA-3072, 422-byte DER)"},
    },
    "Runs the installer's own checks on an installer: the archive's main header,\n"
    "the signature record behind the archive, the RSA signature over every byte\n"
    "before it, and the first entry. Prints OK, or FAILED and the reason (exit\n"
    "code 1). The key is PUBLIC.der when given; otherwise the key the installer\n"
    "itself checks with, from its public-key slot (for a stub without a slot, the\n"
    "key built into this kestpack). Either way the key used is named, the\n"
    "repository's TEST key by that name, any other by its MD5 fingerprint.\n"
    "The second record (RSA-3072 SHA-256 over the same bytes and the first record)\n"
    "is checked as the installer checks it: with MODERN.der when given, else with\n"
    "the installer's modern-key slot; an installer without a modern key does not\n"
    "look at it. Each record's result is printed on a line of its own, with the\n"
    "key (a modern key other than the TEST one by its SHA-256 fingerprint).\n",
    nullptr,
    RunVerify};

}  // namespace kest
