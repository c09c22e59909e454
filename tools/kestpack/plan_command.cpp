// kestpack plan: what an install of a package would do to a machine whose
// drive is a folder here. Every decision is the installer's own portable
// rule (the replace decision, the version comparison, the dependency rule,
// the folder tokens, the obsolete-file path) run on TargetMachine.
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "archive/package_reader.h"
#include "archive/posix_output_files.h"
#include "archive/reader_codes.h"
#include "base/entry_name_rules.h"
#include "install/dependency_rule.h"
#include "install/obsolete_path.h"
#include "install/prerequisite_command.h"
#include "install/replace_decision.h"
#include "install/target_path.h"
#include "manifest/manifest_text.h"
#include "tools/kestpack/commands.h"
#include "tools/kestpack/file_times.h"
#include "tools/kestpack/manifest_report.h"
#include "tools/kestpack/package_errors.h"
#include "tools/kestpack/package_file.h"
#include "tools/kestpack/plan_output.h"
#include "tools/kestpack/printable_text.h"
#include "tools/kestpack/target_machine.h"

namespace kest {
namespace {

// As list: the manifests are a few kilobytes.
constexpr uint32_t kManifestLoadBytes = 1u << 20;

struct PackageEntry {
  std::string name;
  EntryStamp stamp;
};

// The manifests are read as the installer reads them; their faults are
// list's and build's business, not the plan's.
class QuietEvents : public ManifestEvents {
 public:
  void KeyLineRejected(uint32_t, const char*, KeyLineFault) override {}
  bool RetryAllocation() override { return false; }
};

std::string VersionText(const FileVersion& v) {
  char text[32];
  snprintf(text, sizeof text, "%u.%u.%u.%u", v.part[0], v.part[1], v.part[2], v.part[3]);
  return text;
}

std::string TimeText(uint64_t file_time) {
  const time_t seconds = time_t(FileTimeToUnix(file_time));
  struct tm t;
  char text[40];
  if (gmtime_r(&seconds, &t) == nullptr) return "?";
  strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &t);
  return text;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The words of the replace rule for an existing file.
std::string ReplaceReason(const ReplaceAnswer& a) {
  if (a.by_version) {
    const std::string entry = VersionText(a.entry_version);
    const std::string disk =
        a.disk_version.known ? VersionText(a.disk_version) : "no version (0.0.0.0)";
    if (IsNewerThan(a.entry_version, a.disk_version)) return "older version on disk: " + disk + " < " + entry;
    if (Equals(a.entry_version, a.disk_version)) {
      return a.strict ? "same version " + entry + ": the system folder takes only a newer one"
                      : "same version " + entry;
    }
    return "newer version on disk: " + disk + " > " + entry;
  }
  if (!a.disk_time_known) return "disk file's time cannot be read";
  const std::string entry = TimeText(a.entry_time);
  const std::string disk = TimeText(a.disk_time);
  if (a.entry_time > a.disk_time) return "older date on disk: " + disk + " < " + entry;
  if (a.entry_time == a.disk_time) {
    return a.strict ? "same date " + entry + ": the system folder takes only a later one"
                    : "same date " + entry;
  }
  return "newer date on disk: " + disk + " > " + entry;
}

// Reads the entries and the manifests; false with the reason printed.
bool ReadPackage(const std::string& path, std::string* package, std::vector<PackageEntry>* entries,
                 ManifestPicker* manifests) {
  std::string error;
  OpenedPackage file;
  if (!OpenPackageOnDisk(path, &file, &error)) {
    PrintError(error);
    return false;
  }
  *package = file.path;
  PosixFileSystem no_output;
  BareArchiveReader reader(file.source.get(), false, no_output);
  reader.set_load_limit(kManifestLoadBytes);
  if (!reader.Open()) {
    PrintError(file.path + ": " + DescribeReaderError(reader.GetError()));
    return false;
  }
  do {
    manifests->Offer(reader.GetEntryData(), reader.GetEntryPackedSize());
    const int number = manifests->offered();
    if (number == 2) reader.set_load_limit(0);
    if (number == manifests->component_entry() || number == manifests->dependency_entry()) continue;
    PackageEntry entry;
    entry.name = reader.GetEntryName();
    entry.stamp.has_version = reader.GetEntryVersion(entry.stamp.version);
    entry.stamp.file_time = reader.GetEntryFileTime();
    entries->push_back(entry);
  } while (reader.NextEntry());
  if (reader.GetError() != kReaderEndOfArchive) {
    PrintError(file.path + ": " + DescribeReaderError(reader.GetError()));
    return false;
  }
  return true;
}

void PlanPrerequisites(DependencyManifest& manifest, const std::string& destination,
                       TargetResolver& resolver, TargetMachine& machine, Plan* plan) {
  if (!manifest.has_dependencies) return;
  for (DependencyRecord* r = manifest.dependencies.get(); r != nullptr; r = r->next) {
    PlannedPrerequisite p;
    p.dependency = r->header;
    // The rule cuts the version texts in place.
    std::string asked[kRequiredFiles];
    for (int i = 0; i < kRequiredFiles; ++i) {
      if (r->required[i].version != nullptr) asked[i] = r->required[i].version;
    }
    int older = -1;
    if (!AnyRequiredFileOlder(*r, destination.c_str(), resolver, machine, &older)) {
      p.action = "none";
      p.reason = "every file it names has the version asked for";
      plan->prerequisites.push_back(p);
      continue;
    }
    p.file = r->required[older].file;
    char path[kPathChars];
    if (resolver.ResolveTargetPath(r->required[older].file, path, destination.c_str()).ok()) {
      p.path = machine.HostPath(path);
      const FileVersion found = machine.GetFileVersion(path);
      p.reason = "File" + std::to_string(older + 1) + " " + p.file + " needs " + asked[older] +
                 ", has " + (found.known ? VersionText(found) : "none (missing or no version)");
    } else {
      p.reason = "File" + std::to_string(older + 1) + " " + p.file + " has no path here";
    }
    if (r->platform != nullptr && *r->platform != '\0') p.platform = r->platform;
    if (r->source_file == nullptr || *r->source_file == '\0') {
      p.action = "stop";
      p.reason += "; no Source: the installation ends with 0x8040F00A";
    } else {
      p.action = "run";
      char command[kCommandLineChars];
      if (MakePrerequisiteCommandLine(r->source_file, r->source_args, destination.c_str(), 0,
                                      command)) {
        p.command = command;
      }
    }
    plan->prerequisites.push_back(p);
  }
}

void PlanObsoleteFiles(const ComponentManifest& manifest, const std::string& destination,
                       TargetMachine& machine, Plan* plan) {
  if (!manifest.obsolete_files) return;
  for (const StringList::Node* n = manifest.obsolete_files->head(); n != nullptr; n = n->next) {
    PlannedObsolete o;
    o.line = n->text;
    char path[kPathChars];
    if (FindObsoleteLineFault(n->text) != EntryNameFault::kNone ||
        !MakeObsoletePath(destination.c_str(), n->text, path)) {
      o.action = "refused";  // reported with 0x8040F017, nothing deleted
    } else {
      o.path = machine.HostPath(path);
      if (!machine.Exists(path)) {
        o.action = "absent";
      } else if (machine.IsReadOnly(path)) {
        o.action = "cannot delete";  // read-only: reported with 0x8040F017, kept
      } else {
        o.action = "remove";
        machine.MarkRemoved(path);
      }
    }
    plan->obsolete.push_back(o);
  }
}

void PlanFiles(const std::vector<PackageEntry>& entries, const std::string& destination,
               TargetResolver& resolver, TargetMachine& machine, Plan* plan) {
  for (const PackageEntry& e : entries) {
    PlannedFile f;
    f.name = e.name;
    char target[kPathChars];
    const EntryNameFault fault = FindEntryNameFault(e.name.c_str());
    if (fault != EntryNameFault::kNone) {
      f.action = "refused";
      f.reason = std::string(DescribeEntryNameFault(fault)) + ": the installation ends with 0x8040F00B";
    } else if (!resolver.ResolveTargetPath(e.name.c_str(), target, destination.c_str()).ok()) {
      f.action = "refused";
      f.reason = "no target path (too long, or a folder the system cannot give)";
    } else {
      f.target = machine.HostPath(target);
      const bool exists = machine.Exists(target);
      const ReplaceAnswer answer = DecideReplace(e.stamp, target, e.name.c_str(), machine);
      f.rule = answer.by_version ? "version" : "date";
      if (answer.by_version) f.entry_version = VersionText(answer.entry_version);
      if (!exists) {
        f.action = "new";
        f.reason = "no file there";
      } else {
        f.reason = ReplaceReason(answer);
        if (answer.by_version && answer.disk_version.known) {
          f.disk_version = VersionText(answer.disk_version);
        }
        if (!answer.replace) {
          f.action = "keep";
        } else if (machine.IsReadOnly(target)) {
          f.action = "ask";
          f.reason = "read-only, would replace (" + f.reason + "): the user is asked";
        } else {
          f.action = "replace";
        }
      }
      if (f.action != "keep") machine.MarkWritten(target, e.stamp);
    }
    if ((f.action == "ask" || f.action == "refused") && plan->silent_stop.empty()) {
      plan->silent_stop = e.name;
    }
    plan->files.push_back(f);
  }
}

int RunPlan(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!BeginCommand(kPlanCommand, args, &parsed, &status)) return status;
  Plan plan;
  plan.drive = parsed.Value("--target");
  if (!IsFolder(plan.drive)) {
    PrintError(plan.drive + ": not a folder");
    return kExitBadInput;
  }
  std::vector<PackageEntry> entries;
  ManifestPicker manifests;
  if (!ReadPackage(parsed.operands[0], &plan.package, &entries, &manifests)) return kExitBadInput;

  QuietEvents events;
  ComponentManifest components;
  DependencyManifest dependencies;
  const std::string& ctext = manifests.component_text();
  const std::string& dtext = manifests.dependency_text();
  if (!ctext.empty()) {
    ParseComponentManifestText(ctext.data(), uint32_t(ctext.size()), events, &components);
  }
  if (!dtext.empty()) {
    ParseDependencyManifestText(dtext.data(), uint32_t(dtext.size()), events, &dependencies);
  }

  // The destination: as given, else the pack's default folder, which the
  // installer takes when neither its command line nor the registry names one.
  plan.destination = parsed.Value("--destination");
  plan.destination_from = "--destination";
  const DependencyRecord* first = dependencies.dependencies.get();
  if (plan.destination.empty() && first != nullptr && first->default_folder != nullptr) {
    plan.destination = first->default_folder;
    plan.destination_from = "the pack's default folder";
  }
  if (plan.destination.empty()) {
    return UsageError(kPlanCommand, "the pack names no default folder: give --destination");
  }
  const std::string& d = plan.destination;
  if (d.size() < 3 || !isalpha(static_cast<unsigned char>(d[0])) || d[1] != ':' || d[2] != '\\') {
    PrintError("destination " + d + ": not a full Windows path such as C:\\Folder");
    return d == parsed.Value("--destination") ? kExitUsage : kExitBadInput;
  }
  if (d.size() >= kPathChars) {
    PrintError("destination " + d + ": longer than a Windows path");
    return kExitBadInput;
  }
  plan.windows = parsed.Has("--windows") ? parsed.Value("--windows")
                                         : TargetMachine::FindBelow(plan.drive, "windows");
  if (parsed.Has("--system")) {
    plan.system = parsed.Value("--system");
  } else {
    // NT's system32, else the Windows 95 family's system.
    plan.system = TargetMachine::FindBelow(plan.windows, "system32");
    if (!IsFolder(plan.system)) plan.system = TargetMachine::FindBelow(plan.windows, "system");
  }
  plan.host = parsed.Value("--host");

  TargetMachine machine(plan.drive, plan.windows, plan.system, plan.host, plan.destination);
  plan.destination_path = machine.HostPath(plan.destination);
  TargetResolver resolver(machine, plan.host.empty() ? nullptr : kPlanHostFolder);
  // The installer's order: prerequisites, obsolete files, the copy.
  PlanPrerequisites(dependencies, plan.destination, resolver, machine, &plan);
  PlanObsoleteFiles(components, plan.destination, machine, &plan);
  PlanFiles(entries, plan.destination, resolver, machine, &plan);

  const std::string out = parsed.Has("--json") ? PlanJson(plan) : PlanText(plan);
  fwrite(out.data(), 1, out.size(), stdout);
  return kExitOk;
}

}  // namespace

const Subcommand kPlanCommand = {
    "plan",
    "FILE",
    {
        {"--target", "FOLDER", "the machine's system drive", true},
        {"--destination", "C:\\FOLDER",
         "the destination folder as the installer sees it (default:\n"
         "the pack's Default folder), found below FOLDER"},
        {"--windows", "DIR", "the Windows folder (default: FOLDER/windows)"},
        {"--system", "DIR",
         "the system folder (default: the Windows folder's system32,\n"
         "else its system)"},
        {"--host", "DIR",
         "the host product's folder, for _scriba files (default:\n"
         "none, they go to the destination's include folder)"},
        {"--json", nullptr, "one JSON document instead of text"},
    },
    "Shows what a silent install of FILE (an installer or a bare archive with its\n"
    "manifests) would do on the machine whose system drive is FOLDER (a mounted\n"
    "Windows drive, or a Wine prefix's drive_c), judged by the installer's own\n"
    "rules; nothing there is written. In the installer's order:\n"
    "  prerequisites   run or not, by the dependency rule on the files present\n"
    "  obsolete files  remove, absent, cannot delete (read-only) or refused\n"
    "  files           new; replace (the disk file's version is older, or its\n"
    "                  date for an entry without version; the same too, except\n"
    "                  in the system folder); keep (newer, or the same in the\n"
    "                  system folder); ask (read-only and to be replaced: the\n"
    "                  user is asked, a silent run stops there with 0x8040F014);\n"
    "                  refused (a name the installer refuses)\n",
    "Names are found whatever their letter case, as Windows finds them. The\n"
    "registry is not read: a folder recorded by an earlier installation, or given\n"
    "on the installer's command line, takes the default's place (--destination).\n"
    "The signature is not checked (see kestpack verify).\n",
    RunPlan};

}  // namespace kest
