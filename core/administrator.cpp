#include "core/administrator.h"

#include <windows.h>

namespace kest {
namespace {

constexpr DWORD kGroupBufferBytes = 1024;

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
  Sid() = default;
  ~Sid() {
    if (sid_ != nullptr) FreeSid(sid_);
  }
  Sid(const Sid&) = delete;
  Sid& operator=(const Sid&) = delete;
  PSID* receive() { return &sid_; }
  PSID get() const { return sid_; }

 private:
  PSID sid_ = nullptr;
};

}  // namespace

bool IsAdministrator() {
  TokenHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive())) return false;

  // TOKEN_GROUPS holds pointers, so the buffer must be pointer-aligned.
  alignas(TOKEN_GROUPS) BYTE buffer[kGroupBufferBytes];
  DWORD needed = 0;
  if (!GetTokenInformation(token.get(), TokenGroups, buffer, sizeof(buffer), &needed)) return false;
  const TOKEN_GROUPS* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer);

  SID_IDENTIFIER_AUTHORITY nt_authority = {SECURITY_NT_AUTHORITY};
  Sid administrators;
  if (!AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, administrators.receive()))
    return false;

  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    if (EqualSid(groups->Groups[i].Sid, administrators.get())) return true;
  }
  return false;
}

}  // namespace kest
