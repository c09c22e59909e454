// The small command-line toolkit shared by kestpack's subcommands. Each
// subcommand's options stand in one table: parsing, the checks that an
// option is present or comes with the one it needs, the synopsis and the
// option list of --help are all made from it.
#pragma once
#include <string>
#include <vector>

namespace kest {

// Exit codes of every subcommand.
constexpr int kExitOk = 0;
constexpr int kExitBadInput = 1;  // damaged package, failed signature, bad input file
constexpr int kExitUsage = 2;

struct CommandOption {
  const char* name;   // "-o", "--stub"
  const char* value;  // the value's placeholder ("FILE", "0|1|2|3"); nullptr for a flag
  const char* help;   // the option list's text, '\n' between its lines
  bool required = false;
  // Waives `required` when this flag is given ("--archive-only").
  const char* unless = nullptr;
  // The option this one is meaningless without: refused alone, and shown
  // inside its brackets in the synopsis. It stands earlier in the table.
  const char* needs = nullptr;
};

struct Subcommand {
  const char* name;
  const char* operand;  // the one operand every subcommand takes ("FILE")
  std::vector<CommandOption> options;
  const char* text;   // what the command does, between the synopsis and the option list
  const char* notes;  // after the option list, or nullptr
  int (*run)(const std::vector<std::string>& args);
};

// "kestpack NAME OPERAND -o OUT [--x X]...", wrapped before 80 columns with
// the continuation lines under the first option; ends in a newline.
std::string Synopsis(const Subcommand& command);
// What --help prints: "usage: " and the synopsis, the text, the option
// list, the notes.
std::string Usage(const Subcommand& command);

// Splits args into options and operands by the command's table. Returns
// false with *error for an unknown option or a missing value. "--" ends
// the options; "-h" and "--help" set `help`.
struct ParsedArgs {
  std::vector<std::pair<std::string, std::string>> options;  // in order; flags have ""
  std::vector<std::string> operands;
  bool help = false;
  bool Has(const std::string& name) const;
  // The last value given for name, or "" when absent.
  std::string Value(const std::string& name) const;
};
bool ParseArgs(const Subcommand& command, const std::vector<std::string>& args,
               ParsedArgs* parsed, std::string* error);

// The common start of a subcommand: parses args, answers --help (usage on
// stdout, status 0) and reports usage errors: a parse error, an operand
// count other than one, a required option missing, an option without the
// one it needs. Returns true when the command should go on; otherwise
// *status is the exit status.
bool BeginCommand(const Subcommand& command, const std::vector<std::string>& args,
                  ParsedArgs* parsed, int* status);

// Runs the command. Running out of memory ends it with a message and
// kExitBadInput rather than an abort.
int RunSubcommand(const Subcommand& command, const std::vector<std::string>& args);

// "kestpack: text" on stderr, the text as Printable shows it: messages
// carry names from files and packages.
void PrintError(const std::string& text);
// The usage error: message and the subcommand's usage on stderr; kExitUsage.
int UsageError(const Subcommand& command, const std::string& message);

}  // namespace kest
