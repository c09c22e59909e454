#include <cstdio>

#include "archive/posix_output_files.h"
#include "tools/kestpack/commands.h"
#include "tools/kestpack/package_errors.h"
#include "tools/kestpack/package_file.h"
#include "tools/kestpack/printable_text.h"
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

  RsaPublicKey key;
  const bool own_key = parsed.Has("--public-key");
  if (own_key) {
    std::string key_path = parsed.Value("--public-key");
    std::vector<uint8_t> der;
    if (!ReadWholeFile(key_path, &der, &error)) {
      PrintError(error);
      return kExitBadInput;
    }
    if (!ParseRsaPublicKeyDer(der.data(), der.size(), &key)) {
      PrintError(key_path + ": not a DER RSA public key with a 768-bit modulus");
      return kExitBadInput;
    }
  }
  OpenedPackage file;
  if (!OpenPackageOnDisk(parsed.operands[0], &file, &error)) {
    PrintError(error);
    return kExitBadInput;
  }
  if (!file.layout.installer) {
    PrintError(file.path + ": FAILED: no signature (a bare archive has no trailer)");
    return kExitBadInput;
  }
  // The installer's reader and check on one open file: the signed bytes
  // are read once, in 64 KiB pieces, through the handle the headers come
  // from. No entry's packed data is loaded (the first entry's header is
  // still read and checked), and the trailer after the signature record is
  // never read, so memory stays small whatever the file's size.
  PosixFileSystem no_output;
  SignedPackageReader reader(file.source.get(), false, no_output, own_key ? &key : nullptr);
  reader.set_load_limit(0);
  if (!reader.Open()) {
    std::string reason = reader.verdict() != SignatureVerdict::kPass
                             ? DescribeVerdict(reader.verdict())
                             : DescribeReaderError(reader.GetError());
    PrintError(file.path + ": FAILED: " + reason);
    return kExitBadInput;
  }
  printf("%s: signature OK (signer \"%s\", bytes 0 to %u, %s key)\n",
         Printable(file.path).c_str(), kPackageSigner,
         file.layout.archive_offset + reader.GetArchiveLength() - 1, own_key ? "given" : "built-in");
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
    "code 1). Without --public-key the key built into this kestpack is used: the\n"
    "key the installer of the same build carries (KEST_PUBLIC_KEY).\n",
    RunVerify};

}  // namespace kest
