// kestpack's subcommands, one file each.
#pragma once
#include "tools/kestpack/command_line.h"

namespace kest {

extern const Subcommand kBuildCommand;
extern const Subcommand kListCommand;
extern const Subcommand kVerifyCommand;
extern const Subcommand kExtractCommand;
extern const Subcommand kKeygenCommand;
extern const Subcommand kPlanCommand;
extern const Subcommand kInitCommand;

}  // namespace kest
