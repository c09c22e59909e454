#include <cstdio>

#include "archive/posix_output_files.h"
#include "tools/kestpack/commands.h"
#include "tools/kestpack/host_files.h"
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
  PackageFile file;
  if (!LoadPackageFile(parsed.operands[0], &file, &error)) {
    PrintError(error);
    return kExitBadInput;
  }
  if (!file.layout.installer) {
    PrintError(file.path + ": FAILED: no signature (a bare archive has no trailer)");
    return kExitBadInput;
  }
  // The installer's reader and check; the signed bytes are read again from
  // the file through a handle of their own.
  MemorySource source = file.ArchiveSource();
  PosixFileSystem no_output;
  PathFileAccess files(file.path);
  SignedPackageReader reader(&source, false, no_output, files, own_key ? &key : nullptr);
  // No entry of a file this size can hold more packed bytes than the file:
  // a forged size is refused instead of allocated.
  reader.set_packed_size_limit(static_cast<uint32_t>(file.bytes.size()));
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
