// Install codes: the 32-bit failure values of the installer. 0 is success;
// the process exit code is the code pending when the run ends.
//
// How a failure is said, one way per layer:
// - Helpers that find a failure but leave reporting it to their caller
//   (the folder chain, a target's path, the destination's preparation)
//   return an InstallCode. A Windows error number becomes one only through
//   InstallCode::FromSystemError, where it comes from the system, so the
//   two cannot be mixed up unnoticed.
// - Passes and run steps (opening the package, the manifests, the
//   dependency, copy and registration passes) report through ReportError
//   (base/install_status.h), which leaves the code pending in Status(), and
//   return bool: false when the attempt or the run ends. A failed
//   allocation is asked about again through RetryingAllocation.
// - The wizard's pages get a PageOutcome from the installation they start:
//   the page closes or stays; the code itself stays pending in Status().
// - kestpack, the host tool, has no install codes: a step returns bool and
//   writes its message for the person into an error string; running out of
//   memory is caught once, where a command runs; the exit code says which
//   kind of failure ended the command.
// The pending code is a plain value, not an InstallCode: a code the table
// does not name is shown with the system's own text, so a Windows error may
// be pending, and a check of it against one is deliberate.
#pragma once
#include <cstdint>

namespace kest {

// A failure found by a helper, or success. Made from one of the kCode
// values below or, through FromSystemError, from a Windows error number;
// never compared with either without saying which.
class InstallCode {
 public:
  constexpr InstallCode() = default;  // success
  // code: 0, one of the kCode values below, or what MapSystemError gives.
  constexpr explicit InstallCode(uint32_t code) : value_(code) {}
  // A Windows error number as it is reported: the number itself, which the
  // error dialog shows with the system's text when the table has no row
  // for it (MapSystemError gives the table's code where there is one).
  static constexpr InstallCode FromSystemError(uint32_t error) { return InstallCode(error); }

  constexpr bool ok() const { return value_ == 0; }
  constexpr uint32_t value() const { return value_; }
  constexpr bool operator==(InstallCode other) const { return value_ == other.value_; }
  constexpr bool operator!=(InstallCode other) const { return value_ != other.value_; }

 private:
  uint32_t value_ = 0;
};

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
