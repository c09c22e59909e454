#include "tools/kestpack/entry_names.h"

#include <cstdio>
#include <map>

#include "packaging/archive_writer.h"

namespace kest {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

// CON, PRN, AUX, NUL, COM1..9, LPT1..9, compared without case, up to the
// first '.' (Windows opens the device for "nul.txt" too).
bool IsDeviceName(const std::string& part) {
  std::string stem;
  for (char c : part) {
    if (c == '.') break;
    stem += Upper(c);
  }
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* d : kDevices) {
    if (stem == d) return true;
  }
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

bool CheckPart(const std::string& part, std::string* reason) {
  if (part.empty()) {
    *reason = "empty folder name (doubled or trailing separator)";
  } else if (part == "." || part == "..") {
    *reason = "'" + part + "' would leave the destination folder";
  } else if (part.back() == '.' || part.back() == ' ') {
    *reason = "'" + part + "' ends in a dot or a blank, which Windows drops";
  } else if (IsDeviceName(part)) {
    *reason = "'" + part + "' is a Windows device name";
  } else {
    return true;
  }
  return false;
}

}  // namespace

bool CheckEntryName(const std::string& name, std::string* reason) {
  if (name.empty()) {
    *reason = "empty name";
    return false;
  }
  if (name.size() > kMaxEntryName) {
    *reason = "longer than " + std::to_string(kMaxEntryName) + " bytes";
    return false;
  }
  if (IsSeparator(name[0])) {
    *reason = "starts with a separator (an absolute path)";
    return false;
  }
  for (unsigned char c : name) {
    if (c == ':') {
      *reason = "contains ':' (a drive or stream name)";
      return false;
    }
    if (c < 0x20 || c == 0x7F || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*') {
      *reason = "contains a character Windows does not allow in file names";
      return false;
    }
  }
  std::string part;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || IsSeparator(name[i])) {
      if (!CheckPart(part, reason)) return false;
      part.clear();
    } else {
      part += name[i];
    }
  }
  return true;
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
