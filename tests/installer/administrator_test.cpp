#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/administrator.h"
#include "tests/support/win32_test_support.h"

namespace kest {
namespace {

TEST(Administrator, WineRunsUsAsAdministrator) {
  // Wine's token carries the Administrators group, as an elevated Windows
  // NT session would.
  EXPECT_TRUE(IsAdministrator());
}

// The attributes of the Administrators group in a token's group list, or
// -1 when the list does not name the group.
long AdministratorsAttributes(HANDLE token) {
  std::vector<BYTE> buffer(4096);
  DWORD needed = 0;
  if (!GetTokenInformation(token, TokenGroups, buffer.data(), DWORD(buffer.size()), &needed)) {
    return -1;
  }
  SID_IDENTIFIER_AUTHORITY nt_authority = {SECURITY_NT_AUTHORITY};
  PSID administrators = nullptr;
  AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS,
                           0, 0, 0, 0, 0, 0, &administrators);
  long attributes = -1;
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  for (DWORD i = 0; i < groups->GroupCount && attributes < 0; ++i) {
    if (EqualSid(groups->Groups[i].Sid, administrators)) attributes = long(groups->Groups[i].Attributes);
  }
  FreeSid(administrators);
  return attributes;
}

// A restricted token that keeps the Administrators group only to deny
// access still lists it, and the probe does not look at the attributes:
// a process on such a token counts as an administrator. (Neither Wine nor
// Windows can take the group out of a token this way, which is why the
// refusal itself is tested through the rights check's probe argument.)
TEST(Administrator, GroupThatOnlyDeniesStillCounts) {
  HANDLE own = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &own));
  SID_IDENTIFIER_AUTHORITY nt_authority = {SECURITY_NT_AUTHORITY};
  PSID administrators = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                       DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                       &administrators));
  SID_AND_ATTRIBUTES disabled = {administrators, 0};
  HANDLE restricted = nullptr;
  const BOOL made =
      CreateRestrictedToken(own, 0, 1, &disabled, 0, nullptr, 0, nullptr, &restricted);
  FreeSid(administrators);
  CloseHandle(own);
  ASSERT_TRUE(made) << GetLastError();
  const long attributes = AdministratorsAttributes(restricted);
  ASSERT_GE(attributes, 0);
  EXPECT_NE(attributes & SE_GROUP_USE_FOR_DENY_ONLY, 0);
  EXPECT_EQ(attributes & SE_GROUP_ENABLED, 0);

  // This program again, on the restricted token, running the probe's test.
  char program[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
  ASSERT_TRUE(length > 0 && length < MAX_PATH);
  std::string command =
      "\"" + std::string(program) + "\" --gtest_filter=Administrator.WineRunsUsAsAdministrator";
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessAsUserA(restricted, nullptr, &command[0], nullptr, nullptr,
                                            FALSE, 0, nullptr, nullptr, &startup, &process);
  CloseHandle(restricted);
  ASSERT_TRUE(started) << GetLastError();
  ASSERT_EQ(WaitForSingleObject(process.hProcess, test::HangGuardMs(60000)), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(code, 0u) << "the probe said no on the restricted token";
}

}  // namespace
}  // namespace kest
