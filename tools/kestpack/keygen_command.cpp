#include <climits>
#include <cstdio>
#include <cstdlib>

#include "tools/kestpack/commands.h"
#include "tools/kestpack/rsa_signer.h"

namespace kest {
namespace {

int RunKeygen(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!BeginCommand(kKeygenCommand, args, &parsed, &status)) return status;
  std::string error;
  const std::string& base = parsed.operands[0];
  const bool modern = parsed.Has("--modern");
  if (!GenerateKeyPair(base + ".pem", base + ".der", &error,
                       modern ? kModernModulusBits : kPackageModulusBits)) {
    PrintError(error);
    return kExitBadInput;
  }
  // Absolute, so the lines below work from any folder.
  char full[PATH_MAX];
  std::string der = realpath((base + ".der").c_str(), full) != nullptr ? full : base + ".der";
  std::string pem = der.substr(0, der.size() - 4) + ".pem";
  printf("wrote %s (private key: keep it secret) and %s (public key)\n"
         "build installers with: kestpack build %s %s %s %s ...\n",
         pem.c_str(), der.c_str(), modern ? "--modern-key" : "--key", pem.c_str(),
         modern ? "--modern-public-key" : "--public-key", der.c_str());
  return kExitOk;
}

}  // namespace

const Subcommand kKeygenCommand = {
    "keygen",
    "BASENAME",
    {
        {"--modern", nullptr,
         "the pair of the second signature instead: a 3072-bit\n"
         "modulus, for build --modern-key and --modern-public-key,\n"
         "verify --modern-public-key and -DKEST_MODERN_PUBLIC_KEY\n"
         "(the DER public key is 422 bytes)"},
    },
    "Makes a new RSA key pair with a 768-bit modulus and exponent 65537:\n"
    "  BASENAME.pem  the private key (PEM, unencrypted, mode 0600), for build --key\n"
    "  BASENAME.der  the 126-byte DER public key, for build --public-key,\n"
    "                verify --public-key and -DKEST_PUBLIC_KEY\n"
    "Existing files are never overwritten.\n",
    nullptr,
    RunKeygen};

}  // namespace kest
