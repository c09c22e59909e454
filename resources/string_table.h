// The installer's string table as portable data: every string resource of
// kestinst.exe with its exact text, for host code (tests, kestpack) that
// cannot load resources. Built from resources/strings.txt, the same source
// as the resource script, so the two cannot drift apart.
#pragma once
#include <cstddef>
#include <cstdint>

#include "resources/string_ids.h"

namespace kest {

struct StringEntry {
  uint32_t id;
  const char* text;  // ANSI, never empty, at most 1023 characters
};

// Every string, in ascending id order.
extern const StringEntry kStringEntries[];
extern const size_t kStringEntryCount;

// The text of string id, or nullptr when the table has no such string.
const char* FindString(uint32_t id);

}  // namespace kest
