#include "manifest/key_line.h"

#include <cstddef>
#include <cstring>

#include "base/ansi_chars.h"
#include "base/text_limits.h"
#include "manifest/blanks.h"
#include "manifest/text_compare.h"

namespace kest {
namespace {

// Rules of a key's value (see the table in key_line.h).
constexpr unsigned kSkipLeading = 1;   // leading blanks skipped (in both parts)
constexpr unsigned kSplitAtColon = 2;  // split at the first ':'
constexpr unsigned kPathLimit = 4;     // first part at most kPathChars - 1 bytes

template <typename Record>
struct KeySpec {
  const char* name;
  unsigned rules;
  // Stores the value, or its two parts (second is nullptr without a ':').
  void (*store)(Record& record, char* first, char* second);
};

// Table order matters: the first name that begins the line wins.
const KeySpec<ComponentRecord> kComponentKeys[] = {
    {"Name", kSkipLeading, [](ComponentRecord& r, char* v, char*) { r.name = v; }},
    {"Product", kSkipLeading, [](ComponentRecord& r, char* v, char*) { r.product = v; }},
    {"Version", kSkipLeading, [](ComponentRecord& r, char* v, char*) { r.version = v; }},
    {"Copyright", kSkipLeading, [](ComponentRecord& r, char* v, char*) { r.copyright = v; }},
};

using DR = DependencyRecord;
const KeySpec<DependencyRecord> kDependencyKeys[] = {
    {"Registry", kSplitAtColon,
     [](DR& r, char* key, char* value) {
       r.registry_key = key;
       r.registry_value = value;
     }},
    {"Default", kSkipLeading | kPathLimit, [](DR& r, char* v, char*) { r.default_folder = v; }},
    {"OverwriteAlways", kSkipLeading, [](DR& r, char* v, char*) { r.overwrite_always = v; }},
    {"File1", kPathLimit, [](DR& r, char* v, char*) { r.required[0].file = v; }},
    {"Version1", 0, [](DR& r, char* v, char*) { r.required[0].version = v; }},
    {"File2", kPathLimit, [](DR& r, char* v, char*) { r.required[1].file = v; }},
    {"Version2", 0, [](DR& r, char* v, char*) { r.required[1].version = v; }},
    {"File3", kPathLimit, [](DR& r, char* v, char*) { r.required[2].file = v; }},
    {"Version3", 0, [](DR& r, char* v, char*) { r.required[2].version = v; }},
    {"File4", kPathLimit, [](DR& r, char* v, char*) { r.required[3].file = v; }},
    {"Version4", 0, [](DR& r, char* v, char*) { r.required[3].version = v; }},
    {"Source", kSkipLeading | kSplitAtColon | kPathLimit,
     [](DR& r, char* file, char* args) {
       r.source_file = file;
       r.source_args = args;
     }},
    {"Platform", kSkipLeading, [](DR& r, char* v, char*) { r.platform = v; }},
};

char* FindAnsiChar(char* p, char wanted) {
  for (; *p != '\0'; p = NextAnsiChar(p)) {
    if (*p == wanted) return p;
  }
  return nullptr;
}

// Applies rules to value (the non-empty text after '=') and cuts it in
// place; nothing is written when the value is refused.
KeyLineFault CutValue(char* value, unsigned rules, char** first, char** second) {
  char* begin = (rules & kSkipLeading) ? SkipBlanks(value, nullptr) : value;
  char* colon = (rules & kSplitAtColon) ? FindAnsiChar(begin, ':') : nullptr;
  char* end = colon != nullptr ? colon : begin + strlen(begin);
  // The walk back starts at the value's first NUL as the record will see
  // it, which is the ':' once the split is made; it never passes value.
  char* cut = TrailingBlanksStart(value, end);
  size_t length = cut > begin ? static_cast<size_t>(cut - begin) : 0;
  if ((rules & kPathLimit) && length >= kPathChars) return KeyLineFault::kValueTooLong;

  *second = nullptr;
  if (colon != nullptr) {
    *colon = '\0';
    *second = (rules & kSkipLeading) ? SkipBlanks(colon + 1, nullptr) : colon + 1;
  }
  *cut = '\0';
  *first = begin;
  return KeyLineFault::kNone;
}

template <typename Record, size_t N>
KeyLineFault ParseKeyLine(char* line, Record* record, const KeySpec<Record> (&table)[N]) {
  const KeySpec<Record>* key = nullptr;
  for (const KeySpec<Record>& candidate : table) {
    if (BeginsWithIgnoringCase(line, candidate.name)) {
      key = &candidate;
      break;
    }
  }
  if (key == nullptr) return KeyLineFault::kUnknownKey;

  char* equals = FindAnsiChar(line + strlen(key->name), '=');
  if (equals == nullptr) return KeyLineFault::kNoEquals;
  char* value = equals + 1;
  if (*value == '\0') return KeyLineFault::kEmptyValue;

  char* first;
  char* second;
  KeyLineFault fault = CutValue(value, key->rules, &first, &second);
  if (fault != KeyLineFault::kNone) return fault;
  key->store(*record, first, second);
  return KeyLineFault::kNone;
}

}  // namespace

const char* DescribeKeyLineFault(KeyLineFault fault) {
  switch (fault) {
    case KeyLineFault::kNone:
      return "accepted";
    case KeyLineFault::kUnknownKey:
      return "unknown key";
    case KeyLineFault::kNoEquals:
      return "no '=' after the key";
    case KeyLineFault::kEmptyValue:
      return "empty value";
    case KeyLineFault::kValueTooLong:
      return "path value longer than 259 characters";
  }
  return "unknown fault";
}

KeyLineFault ParseComponentKeyLine(char* line, ComponentRecord* record) {
  return ParseKeyLine(line, record, kComponentKeys);
}

KeyLineFault ParseDependencyKeyLine(char* line, DependencyRecord* record) {
  return ParseKeyLine(line, record, kDependencyKeys);
}

}  // namespace kest
