// Install codes: the 32-bit failure values of the installer. 0 is success;
// the process exit code is the code pending when the run ends.
#pragma once
#include <cstdint>

namespace kest {

constexpr uint32_t kSuccess = 0;

constexpr uint32_t kCodeDiskFull = 0x8040F000;          // Drive is full
constexpr uint32_t kCodeDamagedPackage = 0x8040F001;    // signature check failed
constexpr uint32_t kCodeInvalidFolder = 0x8040F003;
constexpr uint32_t kCodeWriteFailed = 0x8040F004;
constexpr uint32_t kCodeSelfRegisterFailed = 0x8040F005;
constexpr uint32_t kCodeBadPointer = 0x8040F006;
constexpr uint32_t kCodeBadCommandLine = 0x8040F007;
constexpr uint32_t kCodeOutOfMemory = 0x8040F008;
constexpr uint32_t kCodeDecompressFailed = 0x8040F009;
constexpr uint32_t kCodeInvalidInstallFiles = 0x8040F00A;
constexpr uint32_t kCodeInvalidFileName = 0x8040F00B;
constexpr uint32_t kCodeFileInUse = 0x8040F00C;
constexpr uint32_t kCodeRenameFailed = 0x8040F00D;
constexpr uint32_t kCodeRequiredFilesMissing = 0x8040F00E;
constexpr uint32_t kCodePrerequisiteFailed = 0x8040F00F;
constexpr uint32_t kCodeRestartCopyFailed = 0x8040F010;
constexpr uint32_t kCodeHostNotFound = 0x8040F011;
constexpr uint32_t kCodeRebootNeeded = 0x8040F012;
constexpr uint32_t kCodeFolderAccessDenied = 0x8040F013;
constexpr uint32_t kCodeReadOnlyFile = 0x8040F014;
constexpr uint32_t kCodeAdminRequired = 0x8040F015;
constexpr uint32_t kCodeDeleteFailed = 0x8040F017;
constexpr uint32_t kCodeNt3Notice = 0x8040F018;
constexpr uint32_t kCodeSystemError = 0x8040FFFF;

// Button sets handed to ReportError.
constexpr uint32_t kButtonsRetry = 0x8003;     // Try Again (and Change Drive) allowed
constexpr uint32_t kButtonsExitOnly = 0x8000;  // only the first button

// The user's choice returned by ReportError.
constexpr uint32_t kChoiceNone = 0;      // no dialog shown, or a suppressed button
constexpr uint32_t kChoiceFirst = 1;     // Exit Install / OK / Continue / Ignore
constexpr uint32_t kChoiceChangeDrive = 2;
constexpr uint32_t kChoiceRetry = 4;     // Try Again (Continue for 0x8040F014)

}  // namespace kest
