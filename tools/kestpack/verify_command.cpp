#include <cstdio>

#include "archive/posix_output_files.h"
#include "tools/kestpack/commands.h"
#include "tools/kestpack/host_files.h"
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

  PackageFile file;
  if (!LoadPackageFile(parsed.operands[0], &file, &error)) {
    PrintError(error);
    return kExitBadInput;
  }
  if (!file.layout.installer) {
    PrintError(file.path + ": FAILED: no signature (a bare archive has no trailer)");
    return kExitBadInput;
  }
  // The key: the file given, else the one the installer itself checks
  // with (its public-key slot), else, for a stub without a slot, the key
  // built into this kestpack.
  std::vector<uint8_t> der;
  std::string used;
  bool slot = false;
  if (parsed.Has("--public-key")) {
    if (!ReadPublicKeyFile(parsed.Value("--public-key"), &der, &error)) {
      PrintError(error);
      return kExitBadInput;
    }
    used = "the public key in " + parsed.Value("--public-key");
  } else if (!ReadStubPublicKey(file.bytes.data(), file.layout.archive_offset, &slot, &der, &error)) {
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
  // The installer's reader and check; the signed bytes are read again from
  // the file through a handle of their own.
  MemorySource source = file.ArchiveSource();
  PosixFileSystem no_output;
  PathFileAccess files(file.path);
  SignedPackageReader reader(&source, false, no_output, files, &key);
  // No entry of a file this size can hold more packed bytes than the file:
  // a forged size is refused instead of allocated.
  reader.set_packed_size_limit(static_cast<uint32_t>(file.bytes.size()));
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
