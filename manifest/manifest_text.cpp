#include "manifest/manifest_text.h"

#include <cstring>
#include <new>
#include <utility>

#include "base/install_status.h"
#include "manifest/blanks.h"
#include "manifest/line_splitter.h"
#include "manifest/text_compare.h"

namespace kest {
namespace {

constexpr char kComponentSignature[] = "[Component";
constexpr char kDependencySignature[] = "[Dependencies]";
constexpr char kObsoleteSection[] = "[ObsoleteFiles]";

bool HasSignature(const char* data, uint32_t size, const char* signature) {
  // size is checked first, so the comparison stays inside the data.
  return data != nullptr && size >= strlen(signature) && BeginsWithIgnoringCase(data, signature);
}

// Repeats attempt while it fails and the events ask for another try.
template <typename Attempt>
auto Retrying(ManifestEvents& events, Attempt attempt) -> decltype(attempt()) {
  return RetryingAllocation(attempt, [&] { return events.RetryAllocation(); });
}

template <typename T>
T* NewOrRetry(ManifestEvents& events) {
  return Retrying(events, [] { return new (std::nothrow) T(); });
}

// The working copy: the size bytes and a NUL after them.
std::unique_ptr<char[]> MakeWorkingCopy(const char* data, uint32_t size, ManifestEvents& events) {
  size_t bytes = static_cast<size_t>(size) + 1;
  if (bytes == 0) return nullptr;  // a 32-bit size_t cannot count the NUL
  char* copy = Retrying(events, [&] { return new (std::nothrow) char[bytes]; });
  if (copy == nullptr) return nullptr;
  memcpy(copy, data, size);
  copy[size] = '\0';
  return std::unique_ptr<char[]>(copy);
}

enum class LineKind { kIgnored, kHeader, kKeyLine };

// line: after its leading blanks.
LineKind Classify(const char* line) {
  if (*line == '\0' || *line == ';' || *line == '/') return LineKind::kIgnored;
  return *line == '[' ? LineKind::kHeader : LineKind::kKeyLine;
}

// Calls on_header(line) for every section header and
// on_key_line(line, line_number) for every key line, each line from its
// first non-blank character; comments and empty lines are passed over.
// Stops and returns false as soon as a call returns false (out of memory).
template <typename OnHeader, typename OnKeyLine>
bool WalkLines(char* text, OnHeader on_header, OnKeyLine on_key_line) {
  LineSplitter lines(text);
  for (char* line = lines.Next(); line != nullptr; line = lines.Next()) {
    line = SkipBlanks(line, nullptr);
    switch (Classify(line)) {
      case LineKind::kIgnored:
        break;
      case LineKind::kHeader:
        if (!on_header(line)) return false;
        break;
      case LineKind::kKeyLine:
        if (!on_key_line(line, lines.line_number())) return false;
        break;
    }
  }
  return true;
}

// Appends record to the list whose last record is *last.
template <typename Record, typename List>
void Link(List& list, Record** last, Record* record) {
  if (*last == nullptr) {
    list.reset(record);
  } else {
    (*last)->next = record;
  }
  *last = record;
}

}  // namespace

bool IsComponentManifest(const char* data, uint32_t size) {
  return HasSignature(data, size, kComponentSignature);
}

bool IsDependencyManifest(const char* data, uint32_t size) {
  return HasSignature(data, size, kDependencySignature);
}

ManifestRead ParseComponentManifestText(const char* data, uint32_t size, ManifestEvents& events,
                                        ComponentManifest* out) {
  if (!IsComponentManifest(data, size)) return ManifestRead::kNotManifest;
  ComponentManifest built;
  built.text = MakeWorkingCopy(data, size, events);
  if (!built.text) return ManifestRead::kOutOfMemory;

  ComponentRecord* current = nullptr;
  bool in_obsolete_section = false;
  auto on_header = [&](char* line) {
    if (strcmp(line, kObsoleteSection) == 0) {
      StringList* list = NewOrRetry<StringList>(events);
      if (list == nullptr) return false;
      built.obsolete_files.reset(list);
      in_obsolete_section = true;
      return true;
    }
    ComponentRecord* record = NewOrRetry<ComponentRecord>(events);
    if (record == nullptr) return false;
    record->header = line;
    Link(built.components, &current, record);
    in_obsolete_section = false;
    return true;
  };
  auto on_key_line = [&](char* line, uint32_t line_number) {
    if (in_obsolete_section) {
      events.ObsoleteLineRead(line_number, line);
      StringList& list = *built.obsolete_files;
      return Retrying(events, [&] { return list.Append(line); });
    }
    if (current != nullptr) {
      KeyLineFault fault = ParseComponentKeyLine(line, current);
      if (fault != KeyLineFault::kNone) events.KeyLineRejected(line_number, line, fault);
    }
    return true;
  };
  if (!WalkLines(built.text.get(), on_header, on_key_line)) return ManifestRead::kOutOfMemory;
  *out = std::move(built);
  return ManifestRead::kRead;
}

ManifestRead ParseDependencyManifestText(const char* data, uint32_t size, ManifestEvents& events,
                                         DependencyManifest* out) {
  if (!IsDependencyManifest(data, size)) return ManifestRead::kNotManifest;
  DependencyManifest built;
  built.text = MakeWorkingCopy(data, size, events);
  if (!built.text) return ManifestRead::kOutOfMemory;

  DependencyRecord* current = nullptr;
  auto on_header = [&](char* line) {
    DependencyRecord* record = NewOrRetry<DependencyRecord>(events);
    if (record == nullptr) return false;
    record->header = line;
    Link(built.dependencies, &current, record);
    return true;
  };
  auto on_key_line = [&](char* line, uint32_t line_number) {
    // The signature makes the first line a header, so a record exists.
    if (current == nullptr) return true;
    KeyLineFault fault = ParseDependencyKeyLine(line, current);
    if (fault == KeyLineFault::kNone) {
      built.has_dependencies = true;
    } else {
      events.KeyLineRejected(line_number, line, fault);
    }
    return true;
  };
  if (!WalkLines(built.text.get(), on_header, on_key_line)) return ManifestRead::kOutOfMemory;
  *out = std::move(built);
  return ManifestRead::kRead;
}

}  // namespace kest
