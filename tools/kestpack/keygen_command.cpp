#include <cstdio>

#include "tools/kestpack/commands.h"
#include "tools/kestpack/rsa_signer.h"

namespace kest {
namespace {

int RunKeygen(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!BeginCommand(kKeygenCommand, args, {}, {}, 1, "one BASENAME", &parsed, &status)) {
    return status;
  }
  std::string error;
  const std::string& base = parsed.operands[0];
  if (!GenerateKeyPair(base + ".pem", base + ".der", &error)) {
    PrintError(error);
    return kExitBadInput;
  }
  printf("wrote %s.pem (private key: keep it secret) and %s.der (public key: build the\n"
         "installer with -DKEST_PUBLIC_KEY=%s.der)\n",
         base.c_str(), base.c_str(), base.c_str());
  return kExitOk;
}

}  // namespace

const Subcommand kKeygenCommand = {
    "keygen",
    "usage: kestpack keygen BASENAME\n"
    "\n"
    "Makes a new RSA key pair with a 768-bit modulus and exponent 65537:\n"
    "  BASENAME.pem  the private key (PEM, unencrypted, mode 0600), for build --key\n"
    "  BASENAME.der  the 126-byte DER public key, for -DKEST_PUBLIC_KEY and\n"
    "                verify --public-key\n"
    "Existing files are never overwritten.\n",
    RunKeygen};

}  // namespace kest
