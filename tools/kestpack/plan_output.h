// kestpack plan's result and its two forms: text for a terminal, and one
// JSON document for scripts. Texts hold the bytes of names and paths as
// they are; the text form shows them as Printable does, JSON escapes them.
#pragma once
#include <string>
#include <vector>

namespace kest {

struct PlannedPrerequisite {
  std::string dependency;  // the section header
  std::string action;      // "none", "run" or "stop" (no Source)
  std::string reason;
  std::string file, path;  // the first file found too old, and where it is here
  std::string platform;    // runs only on this platform, when given
  std::string command;     // the command line, program path below the installer's folder
};

struct PlannedObsolete {
  std::string line;
  std::string path;    // here; empty when refused
  std::string action;  // "remove", "absent", "cannot delete" or "refused"
};

struct PlannedFile {
  std::string name;    // the entry's name in the package
  std::string target;  // the file here; empty when refused
  std::string action;  // "new", "replace", "keep", "ask" or "refused"
  std::string rule;    // "version" or "date"; empty when refused
  std::string reason;
  std::string entry_version, disk_version;  // when known
};

struct Plan {
  std::string package, drive, windows, system, host;
  std::string destination, destination_from, destination_path;
  std::vector<PlannedPrerequisite> prerequisites;
  std::vector<PlannedObsolete> obsolete;
  std::vector<PlannedFile> files;
  std::string silent_stop;  // the entry a silent run stops at, or empty
};

std::string PlanText(const Plan& plan);
std::string PlanJson(const Plan& plan);

}  // namespace kest
