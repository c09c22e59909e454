#include <cstdio>

#include "archive/posix_output_files.h"
#include "tools/kestpack/commands.h"
#include "tools/kestpack/package_errors.h"
#include "tools/kestpack/package_file.h"
#include "tools/kestpack/printable_text.h"
#include "tools/kestpack/stub_key.h"
#include "verify/public_key_slot.h"
#include "verify/signed_package_reader.h"

namespace kest {
namespace {

int RunVerify(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!BeginCommand(kVerifyCommand, args, {"--public-key"}, {}, 1, "one FILE", &parsed, &status)) {
    return status;
  }
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
  if (parsed.Has("--public-key")) {
    if (!ReadPublicKeyFile(parsed.Value("--public-key"), &der, &error)) {
      PrintError(error);
      return kExitBadInput;
    }
    used = "the public key in " + parsed.Value("--public-key");
  } else if (file.source->Seek(0) != 0 ||
             file.source->Read(image.data(), file.layout.archive_offset, &got) != 0 ||
             got != file.layout.archive_offset || file.source->Seek(file.layout.archive_offset) != 0) {
    PrintError(file.path + ": cannot read the installer image");
    return kExitBadInput;
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
  SignedPackageReader reader(file.source.get(), false, no_output, &key);
  reader.set_load_limit(0);
  if (!reader.Open()) {
    std::string reason = reader.verdict() != SignatureVerdict::kPass
                             ? DescribeVerdict(reader.verdict())
                             : DescribeReaderError(reader.GetError());
    if (reader.verdict() == SignatureVerdict::kMismatch) {
      reason += " under " + used + "; the package may be signed with another key";
    }
    PrintError(file.path + ": FAILED: " + reason);
    return kExitBadInput;
  }
  printf("%s: signature OK (signer \"%s\", bytes 0 to %u, %s)\n",
         Printable(file.path).c_str(), kPackageSigner,
         file.layout.archive_offset + reader.GetArchiveLength() - 1, Printable(used).c_str());
  return kExitOk;
}

}  // namespace

const Subcommand kVerifyCommand = {
    "verify",
    "usage: kestpack verify FILE [--public-key PUBLIC.der]\n"
    "\n"
    "Runs the installer's own checks on an installer: the archive's main header,\n"
    "the signature record behind the archive, the RSA signature over every byte\n"
    "before it, and the first entry. Prints OK, or FAILED and the reason (exit\n"
    "code 1). The key is PUBLIC.der when given; otherwise the key the installer\n"
    "itself checks with, from its public-key slot (for a stub without a slot, the\n"
    "key built into this kestpack). Either way the key used is named, the\n"
    "repository's TEST key by that name, any other by its MD5 fingerprint.\n",
    RunVerify};

}  // namespace kest
