#include "installer/administrator.h"

#include <windows.h>

#include "base/system_api_win32.h"
#include "base/win32_procedure.h"

namespace kest {
namespace {

constexpr DWORD kGroupBufferBytes = 1024;

// The security functions are looked up at run time: the Windows 95 family's
// advapi32 is not required to export them, and a missing import would stop
// the loader before the installer could say anything.
using OpenProcessTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
using GetTokenInformationFn = BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
using AllocateAndInitializeSidFn = BOOL(WINAPI*)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD,
                                                 DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, PSID*);
using EqualSidFn = BOOL(WINAPI*)(PSID, PSID);
using FreeSidFn = PVOID(WINAPI*)(PSID);

struct SecurityApi {
  OpenProcessTokenFn open_process_token;
  GetTokenInformationFn get_token_information;
  AllocateAndInitializeSidFn allocate_and_initialize_sid;
  EqualSidFn equal_sid;
  FreeSidFn free_sid;
};

// advapi32 stays loaded for the rest of the process; the check runs once.
bool LoadSecurityApi(SecurityApi* api) {
  HMODULE advapi = LoadSystemLibrary("advapi32.dll");
  if (advapi == nullptr) return false;
  api->open_process_token =
      GetProcedure<OpenProcessTokenFn>(advapi, "OpenProcessToken");
  api->get_token_information =
      GetProcedure<GetTokenInformationFn>(advapi, "GetTokenInformation");
  api->allocate_and_initialize_sid =
      GetProcedure<AllocateAndInitializeSidFn>(advapi, "AllocateAndInitializeSid");
  api->equal_sid = GetProcedure<EqualSidFn>(advapi, "EqualSid");
  api->free_sid = GetProcedure<FreeSidFn>(advapi, "FreeSid");
  return api->open_process_token && api->get_token_information &&
         api->allocate_and_initialize_sid && api->equal_sid && api->free_sid;
}

class TokenHandle {
 public:
  TokenHandle() = default;
  ~TokenHandle() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  TokenHandle(const TokenHandle&) = delete;
  TokenHandle& operator=(const TokenHandle&) = delete;
  HANDLE* receive() { return &handle_; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

class Sid {
 public:
  explicit Sid(FreeSidFn free_sid) : free_sid_(free_sid) {}
  ~Sid() {
    if (sid_ != nullptr) free_sid_(sid_);
  }
  Sid(const Sid&) = delete;
  Sid& operator=(const Sid&) = delete;
  PSID* receive() { return &sid_; }
  PSID get() const { return sid_; }

 private:
  FreeSidFn free_sid_;
  PSID sid_ = nullptr;
};

}  // namespace

bool IsAdministrator() {
  SecurityApi api;
  if (!LoadSecurityApi(&api)) return false;
  TokenHandle token;
  if (!api.open_process_token(GetCurrentProcess(), TOKEN_QUERY, token.receive())) return false;

  // TOKEN_GROUPS holds pointers, so the buffer must be pointer-aligned.
  alignas(TOKEN_GROUPS) BYTE buffer[kGroupBufferBytes];
  DWORD needed = 0;
  if (!api.get_token_information(token.get(), TokenGroups, buffer, sizeof(buffer), &needed)) return false;
  const TOKEN_GROUPS* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer);

  SID_IDENTIFIER_AUTHORITY nt_authority = {SECURITY_NT_AUTHORITY};
  Sid administrators(api.free_sid);
  if (!api.allocate_and_initialize_sid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, administrators.receive()))
    return false;

  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    if (api.equal_sid(groups->Groups[i].Sid, administrators.get())) return true;
  }
  return false;
}

}  // namespace kest
