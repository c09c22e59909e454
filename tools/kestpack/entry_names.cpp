#include "tools/kestpack/entry_names.h"

#include <cstdio>
#include <map>

#include "base/entry_name_rules.h"
#include "packaging/archive_writer.h"

namespace kest {

bool CheckEntryName(const std::string& name, std::string* reason) {
  if (name.size() > kMaxEntryName) {
    *reason = "longer than " + std::to_string(kMaxEntryName) + " bytes";
    return false;
  }
  // A NUL would end the name the installer reads.
  const EntryNameFault fault = name.find('\0') != std::string::npos
                                   ? EntryNameFault::kForbiddenChar
                                   : FindEntryNameFault(name.c_str());
  // A token alone is the pack's top folder of that name, checked on the way
  // to the files below it.
  if (fault == EntryNameFault::kNone ||
      (fault == EntryNameFault::kEmpty && !name.empty() && *SkipFolderToken(name.c_str()) == '\0' &&
       name.find_first_of("/\\") == std::string::npos)) {
    return true;
  }
  *reason = DescribeEntryNameFault(fault);
  return false;
}

bool CheckPackedName(const std::string& name, std::string* reason) {
  if (!CheckEntryName(name, reason)) return false;
  for (unsigned char c : name) {
    if (c >= 0x80) {
      char byte[8];
      snprintf(byte, sizeof byte, "0x%02X", c);
      *reason = std::string("contains the byte ") + byte +
                ", which is not ASCII: the installer creates files in the ANSI code page of "
                "the machine it runs on, where it can stand for another letter; use ASCII names";
      return false;
    }
  }
  return true;
}

bool CheckDistinctNames(const std::vector<NamedInput>& inputs, std::string* error) {
  std::map<std::string, const NamedInput*> folded;
  for (const NamedInput& in : inputs) {
    auto inserted = folded.emplace(FoldEntryName(in.name), &in);
    if (inserted.second) continue;
    const NamedInput& first = *inserted.first->second;
    *error = in.path + ": \"" + in.name + "\" would be the same entry as \"" + first.name +
             "\" from " + first.path +
             " (names differing only in letter case are one file to the installer, which "
             "would write one over the other)";
    return false;
  }
  return true;
}

std::string FoldEntryName(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    if (c == '/') c = '\\';
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return folded;
}

}  // namespace kest
