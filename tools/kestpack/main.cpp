// kestpack: builds, lists, checks and unpacks KestInst packages, and plans
// their installation.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/kestpack/commands.h"

namespace {

const kest::Subcommand* const kCommands[] = {&kest::kBuildCommand, &kest::kListCommand,
                                             &kest::kVerifyCommand, &kest::kExtractCommand,
                                             &kest::kKeygenCommand, &kest::kPlanCommand,
                                             &kest::kInitCommand};

void PrintOverview(FILE* out) {
  fprintf(out,
          "usage: kestpack COMMAND [ARGS]\n"
          "\n"
          "  build    build a signed installer (or a bare archive) from a folder\n"
          "  list     list the entries of an installer or an ARJ archive\n"
          "  verify   check an installer's signature\n"
          "  extract  unpack every entry of an installer or an ARJ archive\n"
          "  keygen   make a new RSA-768 signing key pair\n"
          "  init     write commented templates of the two manifests\n"
          "  plan     show what an install would do to a machine's drive\n"
          "\n"
          "kestpack COMMAND --help describes each command.\n"
          "Exit codes: 0 success, 1 bad input (damaged package, failed signature,\n"
          "unusable input file), 2 usage error.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintOverview(stderr);
    return kest::kExitUsage;
  }
  std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintOverview(stdout);
    return kest::kExitOk;
  }
  for (const kest::Subcommand* command : kCommands) {
    if (name == command->name) {
      return kest::RunSubcommand(*command, std::vector<std::string>(argv + 2, argv + argc));
    }
  }
  kest::PrintError("unknown command '" + name + "'");
  PrintOverview(stderr);
  return kest::kExitUsage;
}
