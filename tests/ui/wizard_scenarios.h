// What the scenario tests of the sample installer share: the scenario
// record, the steps through the first pages, and playing a scenario on a
// new installer process under a chosen Windows version.
#pragma once
#include <string>
#include <vector>

#include "tests/ui/dialog_driver.h"

namespace kest::test {

// The sample pack's first component and the folder its dependency manifest
// proposes.
inline constexpr char kProduct[] = "Morvane Components Starter Pack";
inline constexpr char kDefaultFolder[] = "C:\\Morvane Components\\";

std::vector<Step> Join(std::initializer_list<std::vector<Step>> parts);

// The agreement accepted and the welcome page passed.
extern const std::vector<Step> kToDestination;
// Exit Install confirmed with Yes: nothing installed, no completion dialog.
extern const std::vector<Step> kConfirmExit;

struct Scenario {
  const char* name;
  const char* arguments;
  std::vector<Step> steps;
  // The sample installer or one of its variants, beside it; or a full path.
  const char* program = "MorvaneSetup.exe";
  // Whether the host product is installed (its folder in the registry);
  // without it the run starts with a warning.
  bool host = true;
  // The installer's current directory; empty: the test program's.
  std::string directory;
};

// Plays the scenario on a new process, with Wine reporting `version`.
void Play(const Scenario& s, const char* version = "win10");

}  // namespace kest::test
