#include "base/error_table.h"

#include <cstddef>

#include "base/install_codes.h"
#include "resources/string_ids.h"

namespace kest {
namespace {

constexpr uint32_t kNoButton = 0;

// Searched from the top; the last row is the default for any other code.
// Columns: code, headline, message, Change Drive, Try Again, first button.
// Texts are named by their generated ids: a renumbered string moves with its
// name, and a removed one stops the build.
constexpr ErrorRow kErrorRows[] = {
    {kCodeDiskFull, IDS_DRIVE_FULL_TITLE, IDS_DRIVE_FULL_TEXT,
     kNoButton, IDS_BUTTON_TRY_AGAIN, IDS_BUTTON_EXIT_INSTALL},
    {kCodeDamagedPackage, IDS_DAMAGED_PACKAGE_TITLE, IDS_DAMAGED_PACKAGE_TEXT,
     kNoButton, kNoButton, IDS_BUTTON_EXIT_INSTALL},
    {kCodeInvalidFolder, IDS_INVALID_FOLDER_TITLE, IDS_INVALID_FOLDER_TEXT,
     kNoButton, IDS_BUTTON_TRY_AGAIN, IDS_BUTTON_EXIT_INSTALL},
    {kCodeWriteFailed, IDS_WRITE_FAILED_TITLE, IDS_WRITE_FAILED_TEXT,
     kNoButton, IDS_BUTTON_TRY_AGAIN, IDS_BUTTON_EXIT_INSTALL},
    {kCodeSelfRegisterFailed, IDS_REGISTER_FAILED_TITLE, IDS_REGISTER_FAILED_TEXT,
     kNoButton, kNoButton, IDS_BUTTON_IGNORE},
    {kCodeBadPointer, IDS_BAD_POINTER_TITLE, IDS_BAD_POINTER_TEXT,
     kNoButton, kNoButton, IDS_BUTTON_EXIT_INSTALL},
    {kCodeBadCommandLine, IDS_BAD_COMMAND_LINE_TITLE, IDS_BAD_COMMAND_LINE_TEXT,
     kNoButton, kNoButton, IDS_BUTTON_EXIT_INSTALL},
    {kCodeOutOfMemory, IDS_OUT_OF_MEMORY_TITLE, IDS_OUT_OF_MEMORY_TEXT,
     kNoButton, IDS_BUTTON_TRY_AGAIN, IDS_BUTTON_EXIT_INSTALL},
    {kCodeDecompressFailed, IDS_DECOMPRESS_FAILED_TITLE, IDS_DECOMPRESS_FAILED_TEXT,
     kNoButton, kNoButton, IDS_BUTTON_EXIT_INSTALL},
    {kCodeInvalidInstallFiles, IDS_INVALID_INSTALL_FILES_TITLE, IDS_INVALID_INSTALL_FILES_TEXT,
     kNoButton, kNoButton, IDS_BUTTON_OK},
    {kCodeInvalidFileName, IDS_INVALID_FILE_NAME_TITLE, IDS_INVALID_FILE_NAME_TEXT,
     kNoButton, kNoButton, IDS_BUTTON_EXIT_INSTALL},
    {kCodeFileInUse, IDS_FILE_IN_USE_TITLE, IDS_FILE_IN_USE_TEXT,
     kNoButton, IDS_BUTTON_TRY_AGAIN, IDS_BUTTON_EXIT_INSTALL},
    {kCodeRenameFailed, IDS_RENAME_FAILED_TITLE, IDS_RENAME_FAILED_TEXT,
     kNoButton, kNoButton, IDS_BUTTON_EXIT_INSTALL},
    {kCodeRequiredFilesMissing, IDS_REQUIRED_FILES_MISSING_TITLE, IDS_REQUIRED_FILES_MISSING_TEXT,
     kNoButton, kNoButton, IDS_BUTTON_EXIT_INSTALL},
    {kCodePrerequisiteFailed, IDS_PREREQUISITE_FAILED_TITLE, IDS_PREREQUISITE_FAILED_TEXT,
     kNoButton, kNoButton, IDS_BUTTON_EXIT_INSTALL},
    {kCodeRestartCopyFailed, IDS_RESTART_COPY_FAILED_TITLE, IDS_RESTART_COPY_FAILED_TEXT,
     kNoButton, kNoButton, IDS_BUTTON_EXIT_INSTALL},
    {kCodeHostNotFound, IDS_HOST_NOT_FOUND_TITLE, IDS_HOST_NOT_FOUND_TEXT,
     kNoButton, kNoButton, IDS_BUTTON_CONTINUE},
    {kCodeRebootNeeded, IDS_REBOOT_NEEDED_TITLE, IDS_REBOOT_NEEDED_TEXT,
     kNoButton, kNoButton, IDS_BUTTON_OK},
    {kCodeFolderAccessDenied, IDS_FOLDER_ACCESS_TITLE, IDS_FOLDER_ACCESS_TEXT,
     kNoButton, IDS_BUTTON_TRY_AGAIN, IDS_BUTTON_EXIT_INSTALL},
    {kCodeReadOnlyFile, IDS_READ_ONLY_FILE_TITLE, IDS_READ_ONLY_FILE_TEXT,
     kNoButton, IDS_BUTTON_CONTINUE, IDS_BUTTON_EXIT_INSTALL},
    {kCodeAdminRequired, IDS_ADMIN_REQUIRED_TITLE, IDS_ADMIN_REQUIRED_TEXT,
     kNoButton, kNoButton, IDS_BUTTON_EXIT_INSTALL},
    {kCodeDeleteFailed, IDS_DELETE_FAILED_TITLE, IDS_DELETE_FAILED_TEXT,
     kNoButton, kNoButton, IDS_BUTTON_CONTINUE},
    {kCodeNt3Notice, IDS_NT3_NOTICE_TITLE, IDS_NT3_NOTICE_TEXT,
     kNoButton, kNoButton, IDS_BUTTON_OK},
    {kCodeSystemError, IDS_SYSTEM_ERROR_TITLE, IDS_SYSTEM_ERROR_TEXT,
     kNoButton, kNoButton, IDS_BUTTON_EXIT_INSTALL},
    {kDefaultRowCode, IDS_SYSTEM_ERROR_TITLE, IDS_SYSTEM_ERROR_TEXT,
     kNoButton, IDS_BUTTON_TRY_AGAIN, IDS_BUTTON_EXIT_INSTALL},
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
