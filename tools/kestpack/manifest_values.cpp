#include "tools/kestpack/manifest_values.h"

#include <cstring>

#include "manifest/blanks.h"
#include "manifest/key_line.h"
#include "manifest/line_splitter.h"
#include "tools/kestpack/printable_text.h"

namespace kest {
namespace {

bool IsPlatformName(const char* value) {
  for (const char* name : {"WIN_95", "WIN_NT_35", "WIN_NT_40"}) {
    if (strcmp(value, name) == 0) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> FindUnusableDependencyValues(const std::string& text) {
  std::vector<std::string> faults;
  // Lines as the manifest reader cuts them (the first NUL ends the text).
  std::string work(text.c_str());
  LineSplitter lines(&work[0]);
  for (char* line = lines.Next(); line != nullptr; line = lines.Next()) {
    line = SkipBlanks(line, nullptr);
    if (*line == '\0' || *line == ';' || *line == '/' || *line == '[') continue;
    // The key reader cuts the line in place; the fault shows it as written.
    const std::string written = line;
    DependencyRecord record;
    if (ParseDependencyKeyLine(line, &record) != KeyLineFault::kNone) continue;
    const char* reason = nullptr;
    if (record.platform != nullptr && !IsPlatformName(record.platform)) {
      reason = "not a platform name (WIN_95, WIN_NT_35 or WIN_NT_40, in capitals)";
    } else if (record.registry_key != nullptr &&
               (*record.registry_key == '\0' || record.registry_value == nullptr ||
                *record.registry_value == '\0')) {
      // The installer looks the folder up only when both parts are there.
      reason = "not both a key path and a value name: write Registry=key path:value name";
    }
    if (reason != nullptr) {
      faults.push_back("line " + std::to_string(lines.line_number()) + ": " + reason + ": " +
                       Printable(written));
    }
  }
  return faults;
}

}  // namespace kest
