#include "tools/kestpack/command_line.h"

#include <cstdio>
#include <new>

#include "tools/kestpack/printable_text.h"

namespace kest {
namespace {

bool Contains(const std::vector<std::string>& list, const std::string& s) {
  for (const std::string& x : list) {
    if (x == s) return true;
  }
  return false;
}

}  // namespace

bool ParsedArgs::Has(const std::string& name) const {
  for (const auto& o : options) {
    if (o.first == name) return true;
  }
  return false;
}

std::string ParsedArgs::Value(const std::string& name) const {
  std::string value;
  for (const auto& o : options) {
    if (o.first == name) value = o.second;
  }
  return value;
}

bool ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& valued,
               const std::vector<std::string>& flags, ParsedArgs* parsed, std::string* error) {
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_done || a.size() < 2 || a[0] != '-') {
      parsed->operands.push_back(a);
    } else if (a == "--") {
      options_done = true;
    } else if (a == "--help" || a == "-h") {
      parsed->help = true;
    } else if (Contains(flags, a)) {
      parsed->options.emplace_back(a, "");
    } else if (Contains(valued, a)) {
      if (i + 1 == args.size()) {
        *error = "option " + a + " needs a value";
        return false;
      }
      parsed->options.emplace_back(a, args[++i]);
    } else {
      *error = "unknown option " + a;
      return false;
    }
  }
  return true;
}

bool BeginCommand(const Subcommand& command, const std::vector<std::string>& args,
                  const std::vector<std::string>& valued, const std::vector<std::string>& flags,
                  size_t operands, const char* operand_names, ParsedArgs* parsed, int* status) {
  std::string error;
  if (!ParseArgs(args, valued, flags, parsed, &error)) {
    *status = UsageError(command, error);
    return false;
  }
  if (parsed->help) {
    printf("%s", command.usage);
    *status = kExitOk;
    return false;
  }
  if (parsed->operands.size() != operands) {
    *status = UsageError(command, std::string("expected ") + operand_names);
    return false;
  }
  return true;
}

void PrintError(const std::string& text) {
  fprintf(stderr, "kestpack: %s\n", Printable(text).c_str());
}

int RunSubcommand(const Subcommand& command, const std::vector<std::string>& args) {
  try {
    return command.run(args);
  } catch (const std::bad_alloc&) {
    // Whatever the command made is undone by its destructors on the way
    // here: a build's temporary file is removed, its output left alone.
    PrintError(std::string(command.name) + ": out of memory");
    return kExitBadInput;
  }
}

int UsageError(const Subcommand& command, const std::string& message) {
  PrintError(std::string(command.name) + ": " + message);
  fprintf(stderr, "%s", command.usage);
  return kExitUsage;
}

}  // namespace kest
