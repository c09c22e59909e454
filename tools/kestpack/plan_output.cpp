#include "tools/kestpack/plan_output.h"

#include <cstdio>

#include "tools/kestpack/printable_text.h"

namespace kest {
namespace {

// A JSON string: quotes, backslashes and control characters escaped, and
// every byte above 0x7F as the code point of that byte (names and paths
// need not be UTF-8, and the document must stay valid).
std::string Json(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escape[8];
      snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

// "name": value pairs of one object, empty texts as null.
class JsonObject {
 public:
  JsonObject& Text(const char* name, const std::string& value, bool null_when_empty = true) {
    return Raw(name, value.empty() && null_when_empty ? "null" : Json(value));
  }
  JsonObject& Raw(const char* name, const std::string& value) {
    out_ += (out_.empty() ? "{" : ", ") + Json(name) + ": " + value;
    return *this;
  }
  std::string Done() const { return out_.empty() ? "{}" : out_ + "}"; }

 private:
  std::string out_;
};

std::string Array(const std::vector<std::string>& items) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) out += (i ? ",\n    " : "\n    ") + items[i];
  return out + (items.empty() ? "]" : "\n  ]");
}

std::string P(const std::string& text) { return Printable(text); }

}  // namespace

std::string PlanJson(const Plan& plan) {
  std::vector<std::string> prerequisites, obsolete, files;
  for (const PlannedPrerequisite& p : plan.prerequisites) {
    prerequisites.push_back(JsonObject()
                                .Text("dependency", p.dependency)
                                .Text("action", p.action)
                                .Text("reason", p.reason)
                                .Text("file", p.file)
                                .Text("path", p.path)
                                .Text("platform", p.platform)
                                .Text("command", p.command)
                                .Done());
  }
  for (const PlannedObsolete& o : plan.obsolete) {
    obsolete.push_back(
        JsonObject().Text("line", o.line).Text("path", o.path).Text("action", o.action).Done());
  }
  for (const PlannedFile& f : plan.files) {
    files.push_back(JsonObject()
                        .Text("name", f.name)
                        .Text("target", f.target)
                        .Text("action", f.action)
                        .Text("rule", f.rule)
                        .Text("reason", f.reason)
                        .Text("entry_version", f.entry_version)
                        .Text("disk_version", f.disk_version)
                        .Done());
  }
  std::string out = "{\n";
  const auto field = [&out](const char* name, const std::string& value) {
    out += "  " + Json(name) + ": " + value + ",\n";
  };
  field("package", Json(plan.package));
  field("target", Json(plan.drive));
  field("destination", Json(plan.destination));
  field("destination_from", Json(plan.destination_from));
  field("destination_path", Json(plan.destination_path));
  field("windows", Json(plan.windows));
  field("system", Json(plan.system));
  field("host", plan.host.empty() ? "null" : Json(plan.host));
  field("prerequisites", Array(prerequisites));
  field("obsolete", Array(obsolete));
  field("files", Array(files));
  out += "  \"silent_stop\": " + (plan.silent_stop.empty() ? "null" : Json(plan.silent_stop));
  return out + "\n}\n";
}

std::string PlanText(const Plan& plan) {
  std::string out = "plan for " + P(plan.package) + " on " + P(plan.drive) + "\n";
  out += "  destination  " + P(plan.destination) + " (" + plan.destination_from + ")\n";
  out += "               = " + P(plan.destination_path) + "\n";
  out += "  windows      " + P(plan.windows) + "\n";
  out += "  system       " + P(plan.system) + "\n";
  out += "  host product " + (plan.host.empty() ? "none: _scriba files go to the destination's "
                                                  "include folder"
                                                : P(plan.host)) + "\n";

  out += "\nprerequisites\n";
  if (plan.prerequisites.empty()) out += "  none asked for\n";
  for (const PlannedPrerequisite& p : plan.prerequisites) {
    out += "  " + std::string(p.action == "none" ? "-" : p.action) + "  " + P(p.dependency) +
           ": " + P(p.reason) + "\n";
    if (!p.platform.empty()) out += "         only when the system is " + P(p.platform) + "\n";
    if (!p.path.empty()) out += "         file " + P(p.path) + "\n";
    if (!p.command.empty()) out += "         command " + P(p.command) + "\n";
  }

  out += "\nobsolete files\n";
  if (plan.obsolete.empty()) out += "  none listed\n";
  for (const PlannedObsolete& o : plan.obsolete) {
    char action[16];
    snprintf(action, sizeof action, "%-13s", o.action.c_str());
    out += "  " + std::string(action) + " " + P(o.line) + "\n";
  }

  out += "\nfiles\n";
  for (const PlannedFile& f : plan.files) {
    char action[16];
    snprintf(action, sizeof action, "%-8s", f.action.c_str());
    out += "  " + std::string(action) + " " + P(f.name) + "  " + P(f.reason) + "\n";
    if (!f.target.empty()) out += "           -> " + P(f.target) + "\n";
  }
  if (!plan.silent_stop.empty()) {
    out += "\na silent run (/U0) stops at " + P(plan.silent_stop) +
           ": it is not written, nor is any file after it\n";
  }
  return out;
}

}  // namespace kest
