#include "tools/kestpack/manifest_report.h"

#include "base/entry_name_rules.h"
#include "manifest/manifest_text.h"
#include "tools/kestpack/command_line.h"
#include "tools/kestpack/host_files.h"
#include "tools/kestpack/manifest_values.h"
#include "tools/kestpack/printable_text.h"

namespace kest {
namespace {

class FaultCollector : public ManifestEvents {
 public:
  void KeyLineRejected(uint32_t line_number, const char* line, KeyLineFault fault) override {
    faults.push_back("line " + std::to_string(line_number) + ": " + DescribeKeyLineFault(fault) +
                     ": " + Printable(line));
  }
  // The installer reports such a line and deletes nothing for it.
  void ObsoleteLineRead(uint32_t line_number, const char* line) override {
    const EntryNameFault fault = FindObsoleteLineFault(line);
    if (fault == EntryNameFault::kNone) return;
    faults.push_back("line " + std::to_string(line_number) + ": obsolete file outside the " +
                     "destination or not a plain path: " + DescribeEntryNameFault(fault) + ": " +
                     Printable(line));
  }
  bool RetryAllocation() override { return false; }
  std::vector<std::string> faults;
};

uint32_t Size(const std::string& text) { return static_cast<uint32_t>(text.size()); }

void Field(std::string* out, const char* name, const char* value) {
  if (value == nullptr) return;
  std::string label = name;
  label.resize(16, ' ');
  *out += "    " + label + "\"" + Printable(value) + "\"\n";
}

// What DescribeManifest shows for a text the reader did not walk.
std::string Unread(ManifestRead result) {
  return result == ManifestRead::kOutOfMemory ? "  out of memory while reading it\n"
                                              : "  not a manifest\n";
}

std::string DescribeComponents(const std::string& text, FaultCollector* events) {
  ComponentManifest m;
  ManifestRead result = ParseComponentManifestText(text.data(), Size(text), *events, &m);
  if (result != ManifestRead::kRead) return Unread(result);
  std::string out;
  for (const ComponentRecord* r = m.components.get(); r != nullptr; r = r->next) {
    out += "  " + Printable(r->header) + "\n";
    Field(&out, "Name", r->name);
    Field(&out, "Product", r->product);
    Field(&out, "Version", r->version);
    Field(&out, "Copyright", r->copyright);
  }
  if (m.obsolete_files) {
    out += "  obsolete files: " + std::to_string(m.obsolete_files->count()) + "\n";
    for (const StringList::Node* n = m.obsolete_files->head(); n != nullptr; n = n->next) {
      out += "    \"" + Printable(n->text) + "\"\n";
    }
  }
  return out;
}

std::string DescribeDependencies(const std::string& text, FaultCollector* events) {
  DependencyManifest m;
  ManifestRead result = ParseDependencyManifestText(text.data(), Size(text), *events, &m);
  if (result != ManifestRead::kRead) return Unread(result);
  std::string out = m.has_dependencies ? "" : "  (no key line sets a field: no dependency pass)\n";
  for (const DependencyRecord* r = m.dependencies.get(); r != nullptr; r = r->next) {
    out += "  " + Printable(r->header) + "\n";
    Field(&out, "Registry", r->registry_key);
    Field(&out, "Registry value", r->registry_value);
    Field(&out, "Default", r->default_folder);
    Field(&out, "OverwriteAlways", r->overwrite_always);
    Field(&out, "Source", r->source_file);
    Field(&out, "Source args", r->source_args);
    Field(&out, "Platform", r->platform);
    for (int i = 0; i < kRequiredFiles; ++i) {
      std::string n = std::to_string(i + 1);
      Field(&out, ("File" + n).c_str(), r->required[i].file);
      Field(&out, ("Version" + n).c_str(), r->required[i].version);
    }
  }
  return out;
}

std::string Describe(ManifestKind kind, const std::string& text, FaultCollector* events) {
  return kind == ManifestKind::kComponent ? DescribeComponents(text, events)
                                          : DescribeDependencies(text, events);
}

}  // namespace

std::vector<std::string> FindManifestFaults(ManifestKind kind, const std::string& text) {
  FaultCollector events;
  Describe(kind, text, &events);
  if (kind == ManifestKind::kDependency) {
    for (std::string& fault : FindUnusableDependencyValues(text)) events.faults.push_back(fault);
  }
  return events.faults;
}

std::string DescribeManifest(ManifestKind kind, const std::string& text) {
  FaultCollector events;
  std::string out = Describe(kind, text, &events);
  for (const std::string& fault : events.faults) out += "  skipped " + fault + "\n";
  return out;
}

void ManifestPicker::Offer(const uint8_t* data, uint32_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const int entry = ++offered_;
  if (data == nullptr && size != 0) {
    if (unread_entry_ == 0 && entry <= component_entry_ + 1) {
      unread_entry_ = entry;
      unread_size_ = size;
    }
    return;
  }
  if (entry == 1 && IsComponentManifest(text, size)) {
    component_entry_ = entry;
    component_text_.assign(text, size);
    return;
  }
  // The dependency reader looks at the first entry the component reader
  // did not take.
  if (entry == component_entry_ + 1 && IsDependencyManifest(text, size)) {
    dependency_entry_ = entry;
    dependency_text_.assign(text, size);
  }
}

std::string ManifestPicker::Describe() const {
  std::string out;
  if (unread_entry_ != 0) {
    out += "entry " + std::to_string(unread_entry_) + " (" + std::to_string(unread_size_) +
           " bytes) is too large to be read as a manifest here; the manifests are not shown\n";
    return out;
  }
  if (component_entry_ == 0) {
    out += "component manifest: none (the first entry does not begin with \"[Component\")\n";
  } else {
    out += "component manifest: entry " + std::to_string(component_entry_) + "\n";
    out += DescribeManifest(ManifestKind::kComponent, component_text_);
  }
  if (dependency_entry_ == 0) {
    out += "dependency manifest: none (entry " + std::to_string(component_entry_ + 1) +
           " does not begin with \"[Dependencies]\")\n";
  } else {
    out += "dependency manifest: entry " + std::to_string(dependency_entry_) + "\n";
    out += DescribeManifest(ManifestKind::kDependency, dependency_text_);
  }
  return out;
}

bool ReportManifestFaults(const std::string& component_path, const std::string& dependency_path,
                          bool keep) {
  const std::string* paths[] = {&component_path, &dependency_path};
  ManifestPicker picker;
  for (const std::string* path : paths) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(*path, &bytes, &error)) {
      PrintError(error);
      return false;
    }
    picker.Offer(bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
  // A manifest the installer would not find is refused like a faulty line:
  // the package would install without it.
  bool faulty = false;
  auto fault = [&](const std::string& text) {
    PrintError((keep ? "warning: " : "") + text);
    faulty = true;
  };
  if (picker.component_entry() == 0) {
    fault(component_path +
          ": does not begin with \"[Component\" (letter case aside, nothing before it); the "
          "installer will install it as an ordinary file");
  }
  if (picker.dependency_entry() != 2) {
    fault(dependency_path + ": will be installed as an ordinary file: " +
          (picker.dependency_entry() == 1
               ? "the installer takes " + component_path + " as the dependency manifest"
           : picker.component_entry() == 0
               ? std::string("the installer looks for it in the first entry")
               : std::string("it does not begin with \"[Dependencies]\" (letter case "
                             "aside, nothing before it)")));
  }
  auto report = [&](ManifestKind kind, int entry, const std::string& text) {
    if (entry == 0) return;
    for (const std::string& line : FindManifestFaults(kind, text)) {
      fault(*paths[entry - 1] + ": " + line);
    }
  };
  report(ManifestKind::kComponent, picker.component_entry(), picker.component_text());
  report(ManifestKind::kDependency, picker.dependency_entry(), picker.dependency_text());
  if (!faulty || keep) return true;
  PrintError(
      "the installer would miss these manifests or report or never use these lines; correct "
      "them, or pass --keep-manifest-faults to build the manifests as they are");
  return false;
}

}  // namespace kest
