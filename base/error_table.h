// The error table and the system error map, as data.
#pragma once
#include <cstdint>

namespace kest {

// One row: the code and the string ids of its headline, message and buttons
// (0: no such button).
struct ErrorRow {
  uint32_t code;
  uint32_t headline_id;
  uint32_t message_id;
  uint32_t change_drive_id;
  uint32_t try_again_id;
  uint32_t first_button_id;
};

constexpr uint32_t kDefaultRowCode = 0xFFFFFFFF;

// The row for code: the first whose code equals it, else the default row
// (the last, code 0xFFFFFFFF).
const ErrorRow& FindErrorRow(uint32_t code);
bool IsDefaultRow(const ErrorRow& row);
// True when code is the code of a row, the default row's 0xFFFFFFFF included.
bool IsInstallCode(uint32_t code);
// The install code for a Windows error value, or the value itself.
uint32_t MapSystemError(uint32_t value);

}  // namespace kest
