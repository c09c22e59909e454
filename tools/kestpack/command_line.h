// The small command-line toolkit shared by kestpack's subcommands.
#pragma once
#include <string>
#include <vector>

namespace kest {

// Exit codes of every subcommand.
constexpr int kExitOk = 0;
constexpr int kExitBadInput = 1;  // damaged package, failed signature, bad input file
constexpr int kExitUsage = 2;

struct Subcommand {
  const char* name;
  const char* usage;  // synopsis and option list, printed by --help
  int (*run)(const std::vector<std::string>& args);
};

// Splits args into options and operands. `valued` lists the options that
// take a value ("-o", "--stub", ...), `flags` those that do not. Returns
// false with *error for an unknown option or a missing value. "--" ends the
// options.
struct ParsedArgs {
  std::vector<std::pair<std::string, std::string>> options;  // in order; flags have ""
  std::vector<std::string> operands;
  bool help = false;
  bool Has(const std::string& name) const;
  // The last value given for name, or "" when absent.
  std::string Value(const std::string& name) const;
};
bool ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& valued,
               const std::vector<std::string>& flags, ParsedArgs* parsed, std::string* error);

// The common start of a subcommand: parses args, answers --help (usage on
// stdout, status 0) and reports usage errors, including an operand count
// other than `operands` (described by operand_names). Returns true when the
// command should go on; otherwise *status is the exit status.
bool BeginCommand(const Subcommand& command, const std::vector<std::string>& args,
                  const std::vector<std::string>& valued, const std::vector<std::string>& flags,
                  size_t operands, const char* operand_names, ParsedArgs* parsed, int* status);

// Runs the command. Running out of memory ends it with a message and
// kExitBadInput rather than an abort.
int RunSubcommand(const Subcommand& command, const std::vector<std::string>& args);

// "kestpack: text" on stderr, the text as Printable shows it: messages
// carry names from files and packages.
void PrintError(const std::string& text);
// The usage error: message and the subcommand's usage on stderr; kExitUsage.
int UsageError(const Subcommand& command, const std::string& message);

}  // namespace kest
