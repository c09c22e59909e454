#include "base/error_table.h"

#include <cstddef>

#include "base/install_codes.h"

namespace kest {
namespace {

// Searched from the top; the last row is the default for any other code.
// Columns: code, headline, message, Change Drive, Try Again, first button.
constexpr ErrorRow kErrorRows[] = {
    {kCodeDiskFull, 27, 28, 0, 40, 42},
    {kCodeDamagedPackage, 34, 35, 0, 0, 42},
    {kCodeInvalidFolder, 23, 24, 0, 40, 42},
    {kCodeWriteFailed, 25, 26, 0, 40, 42},
    {kCodeSelfRegisterFailed, 32, 33, 0, 0, 39},
    {kCodeBadPointer, 43, 64, 0, 0, 42},
    {kCodeBadCommandLine, 46, 65, 0, 0, 42},
    {kCodeOutOfMemory, 21, 22, 0, 40, 42},
    {kCodeDecompressFailed, 48, 66, 0, 0, 42},
    {kCodeInvalidInstallFiles, 53, 54, 0, 0, 38},
    {kCodeInvalidFileName, 55, 56, 0, 0, 42},
    {kCodeFileInUse, 29, 30, 0, 40, 42},
    {kCodeRenameFailed, 15, 68, 0, 0, 42},
    {kCodeRequiredFilesMissing, 49, 50, 0, 0, 42},
    {kCodePrerequisiteFailed, 16, 69, 0, 0, 42},
    {kCodeRestartCopyFailed, 57, 58, 0, 0, 42},
    {kCodeHostNotFound, 60, 61, 0, 0, 84},
    {kCodeRebootNeeded, 71, 70, 0, 0, 38},
    {kCodeFolderAccessDenied, 67, 31, 0, 40, 42},
    {kCodeReadOnlyFile, 85, 86, 0, 84, 42},
    {kCodeAdminRequired, 89, 90, 0, 0, 42},
    {kCodeDeleteFailed, 51, 52, 0, 0, 84},
    {kCodeNt3Notice, 92, 91, 0, 0, 38},
    {kCodeSystemError, 59, 45, 0, 0, 42},
    {kDefaultRowCode, 59, 45, 0, 40, 42},
};
constexpr size_t kErrorRowCount = sizeof(kErrorRows) / sizeof(kErrorRows[0]);
static_assert(kErrorRowCount == 25, "the error table has 25 rows");

struct SystemErrorRow {
  uint32_t system_value;
  uint32_t code;
};

constexpr SystemErrorRow kSystemErrorRows[] = {
    {112, kCodeDiskFull},                 // ERROR_DISK_FULL
    {3, kCodeInvalidFolder},              // ERROR_PATH_NOT_FOUND
    {161, kCodeInvalidFolder},            // ERROR_BAD_PATHNAME
    {1203, kCodeInvalidFolder},           // ERROR_NO_NET_OR_BAD_PATH
    {1013, kCodeWriteFailed},             // ERROR_CANTWRITE
    {0x80004003, kCodeBadPointer},        // E_POINTER
    {160, kCodeBadCommandLine},           // ERROR_BAD_ARGUMENTS
    {8, kCodeOutOfMemory},                // ERROR_NOT_ENOUGH_MEMORY
    {123, kCodeInvalidFileName},          // ERROR_INVALID_NAME
    {32, kCodeFileInUse},                 // ERROR_SHARING_VIOLATION
    {2, kCodeRequiredFilesMissing},       // ERROR_FILE_NOT_FOUND
    {0xFFFFFFFF, kCodeSystemError},
};

}  // namespace

const ErrorRow& FindErrorRow(uint32_t code) {
  for (const ErrorRow& row : kErrorRows) {
    if (row.code == code) return row;
  }
  return kErrorRows[kErrorRowCount - 1];
}

bool IsDefaultRow(const ErrorRow& row) { return &row == &kErrorRows[kErrorRowCount - 1]; }

bool IsInstallCode(uint32_t code) {
  for (const ErrorRow& row : kErrorRows) {
    if (row.code == code) return true;
  }
  return false;
}

uint32_t MapSystemError(uint32_t value) {
  for (const SystemErrorRow& row : kSystemErrorRows) {
    if (row.system_value == value) return row.code;
  }
  return value;
}

}  // namespace kest
