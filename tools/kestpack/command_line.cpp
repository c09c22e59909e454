#include "tools/kestpack/command_line.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "tools/kestpack/printable_text.h"

namespace kest {
namespace {

// The synopsis stays within 72 columns so that "usage: " before it keeps
// --help within 80.
constexpr size_t kSynopsisColumns = 72;
// The option list's help column, unless every option is shorter.
constexpr size_t kHelpColumn = 21;

const CommandOption* Find(const Subcommand& command, const std::string& name) {
  for (const CommandOption& o : command.options) {
    if (name == o.name) return &o;
  }
  return nullptr;
}

std::string Word(const CommandOption& o) {
  return o.value != nullptr ? std::string(o.name) + " " + o.value : std::string(o.name);
}

// The synopsis as words that are never split: an option with its value, in
// brackets when optional, those that need it nested in its brackets.
void AddWords(const Subcommand& command, const CommandOption& o, std::vector<std::string>* words) {
  const bool bracketed = !o.required;
  words->push_back((bracketed ? "[" : "") + Word(o));
  for (const CommandOption& inner : command.options) {
    if (inner.needs != nullptr && std::string(inner.needs) == o.name) {
      AddWords(command, inner, words);
    }
  }
  if (bracketed) words->back() += "]";
}

}  // namespace

std::string Synopsis(const Subcommand& command) {
  std::vector<std::string> words;
  for (const CommandOption& o : command.options) {
    if (o.needs == nullptr) AddWords(command, o, &words);
  }
  std::string text = std::string("kestpack ") + command.name + " " + command.operand;
  const size_t indent = strlen("kestpack ") + strlen(command.name) + 1;
  size_t line_start = 0;
  for (const std::string& w : words) {
    if (text.size() - line_start + 1 + w.size() > kSynopsisColumns) {
      text += "\n";
      line_start = text.size();
      text += std::string(indent - 1, ' ');
    }
    text += " " + w;
  }
  return text + "\n";
}

std::string Usage(const Subcommand& command) {
  std::string usage = "usage: ";
  const std::string synopsis = Synopsis(command);
  for (size_t i = 0; i < synopsis.size(); ++i) {
    usage += synopsis[i];
    if (synopsis[i] == '\n' && i + 1 < synopsis.size()) usage += std::string(strlen("usage: "), ' ');
  }
  usage += std::string("\n") + command.text;
  size_t column = 0;
  for (const CommandOption& o : command.options) column = std::max(column, 2 + Word(o).size() + 2);
  column = std::min(column, kHelpColumn);
  if (!command.options.empty()) usage += "\n";
  for (const CommandOption& o : command.options) {
    std::string line = "  " + Word(o);
    // A name too long for the column puts its help on the next line.
    line += line.size() + 2 <= column ? std::string(column - line.size(), ' ')
                                      : "\n" + std::string(column, ' ');
    for (const char* h = o.help; *h != '\0'; ++h) {
      line += *h;
      if (*h == '\n') line += std::string(column, ' ');
    }
    usage += line + "\n";
  }
  if (command.notes != nullptr) usage += std::string("\n") + command.notes;
  return usage;
}

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

bool ParseArgs(const Subcommand& command, const std::vector<std::string>& args,
               ParsedArgs* parsed, std::string* error) {
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const CommandOption* option = nullptr;
    if (options_done || a.size() < 2 || a[0] != '-') {
      parsed->operands.push_back(a);
    } else if (a == "--") {
      options_done = true;
    } else if (a == "--help" || a == "-h") {
      parsed->help = true;
    } else if ((option = Find(command, a)) == nullptr) {
      *error = "unknown option " + a;
      return false;
    } else if (option->value == nullptr) {
      parsed->options.emplace_back(a, "");
    } else if (i + 1 == args.size()) {
      *error = "option " + a + " needs a value";
      return false;
    } else {
      parsed->options.emplace_back(a, args[++i]);
    }
  }
  return true;
}

bool BeginCommand(const Subcommand& command, const std::vector<std::string>& args,
                  ParsedArgs* parsed, int* status) {
  std::string error;
  if (!ParseArgs(command, args, parsed, &error)) {
    *status = UsageError(command, error);
    return false;
  }
  if (parsed->help) {
    printf("%s", Usage(command).c_str());
    *status = kExitOk;
    return false;
  }
  if (parsed->operands.size() != 1) {
    *status = UsageError(command, std::string("expected one ") + command.operand);
    return false;
  }
  for (const CommandOption& o : command.options) {
    if (o.required && parsed->Value(o.name).empty() &&
        (o.unless == nullptr || !parsed->Has(o.unless))) {
      *status = UsageError(command, Word(o) + " is required");
      return false;
    }
    if (o.needs != nullptr && parsed->Has(o.name) && !parsed->Has(o.needs)) {
      *status = UsageError(command, std::string(o.name) + " needs " + o.needs);
      return false;
    }
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
  fprintf(stderr, "%s", Usage(command).c_str());
  return kExitUsage;
}

}  // namespace kest
