/*
 * kestinst_component.h - the KestInst component protocol.
 *
 * A self-registering library or control installed by KestInst is loaded
 * after it has been copied, and before an older copy is replaced or removed;
 * the installer then calls, where exported, in this order:
 *
 *   registration                      unregistration
 *   DllInstallInit(context)           DllInstallInit(context)
 *   DllRegisterServer()               DllUnregisterServer()
 *   DllInstallShutdown()              DllInstallShutdown()
 *
 * Only DllInstallInit receives the installer context object (below); it is
 * valid until DllInstallShutdown returns. See README.md beside this header.
 *
 * Plain C (C89 or later) and C++; Microsoft Visual C++, GCC (mingw-w64) and
 * clang; 32-bit and 64-bit Windows.
 */
#ifndef KESTINST_COMPONENT_H
#define KESTINST_COMPONENT_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct KestInstallerContext KestInstallerContext;

/*
 * How the operations are called.
 *
 * The installer calls and implements its operations as C++ member functions
 * of Microsoft's 32-bit ABI: "thiscall", the object in ECX, the other
 * arguments on the stack from right to left, removed by the callee. On
 * 64-bit Windows there is one convention and the object is simply the first
 * argument. Always call through the macros or member functions below, which
 * hide the difference:
 *
 *   - GCC and clang name the convention directly: thiscall attribute.
 *   - Microsoft C does not let thiscall be named outside a member function.
 *     __fastcall puts its first argument in ECX and its second in EDX, the
 *     rest as thiscall does, so the table is declared __fastcall with a
 *     dummy second argument that only fills EDX (KESTINST_SELF) and every
 *     call passes 0 for it (KESTINST_THIS). Define KESTINST_FASTCALL_FORM
 *     to get this form from any compiler.
 *
 * Other compilers must call the table with thiscall or an exact equivalent.
 */
#if defined(_M_IX86) || defined(__i386__)
#  if defined(_MSC_VER) || defined(KESTINST_FASTCALL_FORM)
#    define KESTINST_METHOD __fastcall
#    define KESTINST_SELF KestInstallerContext *kestinst_self_, int kestinst_edx_
#    define KESTINST_THIS(context) (context), 0
#  else
#    define KESTINST_METHOD __attribute__((thiscall))
#    define KESTINST_SELF KestInstallerContext *kestinst_self_
#    define KESTINST_THIS(context) (context)
#  endif
#else
#  define KESTINST_METHOD
#  define KESTINST_SELF KestInstallerContext *kestinst_self_
#  define KESTINST_THIS(context) (context)
#endif

/* The context text field: 262 UTF-16 units, terminator included. */
#define KESTINST_FOLDER_UNITS 262
/* SetFolder's result for a path that cannot be read or does not fit. */
#define KESTINST_FOLDER_REFUSED 0xFFFFFFFFu
/* The one option: set when the installer was started with /NP. */
#define KESTINST_OPTION_NP 1u

/*
 * GCC and clang with -pedantic warn that thiscall is "used for non-class
 * method" on these pointers in C; it applies all the same, and is exactly
 * what the installer calls, so the warning is switched off for the table
 * alone.
 */
#if defined(__GNUC__) && (defined(_M_IX86) || defined(__i386__))
#  pragma GCC diagnostic push
#  pragma GCC diagnostic ignored "-Wattributes"
#endif

/*
 * The operation table, in its fixed order. Paths are UTF-16 and
 * NUL-terminated. Results "1 or 0" mean success or failure.
 */
typedef struct KestInstallerContextOps {
  /* 0: the installer's own destructor (bit 0 of flags: also free the
     memory). Components never call it. */
  KestInstallerContext *(KESTINST_METHOD *Destructor)(KESTINST_SELF, unsigned int flags);
  /* 1: replaces the context text with path (up to 261 characters) and
     returns its length; 0 for an empty path and KESTINST_FOLDER_REFUSED for
     one that cannot be read or is longer, both leaving the text as it was. */
  DWORD (KESTINST_METHOD *SetFolder)(KESTINST_SELF, const WCHAR *path);
  /* 2: the context text (the installer's /I value), in the object. */
  const WCHAR *(KESTINST_METHOD *GetFolder)(KESTINST_SELF);
  /* 3: non-zero asks that an in-use copy of this library be replaced now,
     the user being asked to close other programs, rather than at the next
     restart. Meaningful in DllInstallInit of an unregistration. */
  void (KESTINST_METHOD *SetReplaceNow)(KESTINST_SELF, DWORD value);
  /* 4, 5: raise or lower the system's shared-library count of the file at
     path (a full path of at most 259 characters, used exactly as given;
     an uncounted existing file starts at 0). 1 or 0. */
  int (KESTINST_METHOD *AddSharedDllRef)(KESTINST_SELF, const WCHAR *path);
  int (KESTINST_METHOD *ReleaseSharedDllRef)(KESTINST_SELF, const WCHAR *path);
  /* 6: the replace-now flag. */
  DWORD (KESTINST_METHOD *GetReplaceNow)(KESTINST_SELF);
  /* 7: sets (on non-zero) or clears supported option bits: 1, or 0 with
     nothing changed when no bit is supported. */
  int (KESTINST_METHOD *SetOption)(KESTINST_SELF, DWORD bits, int on);
  /* 8: 1 when any of bits is set. */
  int (KESTINST_METHOD *TestOption)(KESTINST_SELF, DWORD bits);
  /* 9: 1 when any of bits is supported (only KESTINST_OPTION_NP is). */
  int (KESTINST_METHOD *IsOptionSupported)(KESTINST_SELF, DWORD bits);
} KestInstallerContextOps;

#if defined(__GNUC__) && (defined(_M_IX86) || defined(__i386__))
#  pragma GCC diagnostic pop
#endif

/*
 * The installer context object, as the installer lays it out: 548 bytes on
 * 32-bit Windows, 552 on 64-bit (the pointer is 8 bytes there). Every field
 * is naturally aligned, so structure packing options do not change it.
 * Read the fields freely; change them only through the operations, except
 * delete_at_zero (README.md).
 */
struct KestInstallerContext {
  const KestInstallerContextOps *ops;
  DWORD size;                            /* sizeof the object */
  WCHAR folder[KESTINST_FOLDER_UNITS];   /* context text, terminated */
  DWORD replace_now;
  DWORD delete_at_zero;                  /* never set by the installer */
  DWORD options;                         /* option bits set */
  DWORD supported_options;               /* KESTINST_OPTION_NP */

#ifdef __cplusplus
  DWORD SetFolder(const WCHAR *path) { return ops->SetFolder(KESTINST_THIS(this), path); }
  const WCHAR *GetFolder() { return ops->GetFolder(KESTINST_THIS(this)); }
  void SetReplaceNow(DWORD value) { ops->SetReplaceNow(KESTINST_THIS(this), value); }
  int AddSharedDllRef(const WCHAR *path) { return ops->AddSharedDllRef(KESTINST_THIS(this), path); }
  int ReleaseSharedDllRef(const WCHAR *path) {
    return ops->ReleaseSharedDllRef(KESTINST_THIS(this), path);
  }
  DWORD GetReplaceNow() { return ops->GetReplaceNow(KESTINST_THIS(this)); }
  int SetOption(DWORD bits, int on) { return ops->SetOption(KESTINST_THIS(this), bits, on); }
  int TestOption(DWORD bits) { return ops->TestOption(KESTINST_THIS(this), bits); }
  int IsOptionSupported(DWORD bits) { return ops->IsOptionSupported(KESTINST_THIS(this), bits); }
#endif
};

/* The layout is fixed: a compiler that lays it out otherwise stops here. */
typedef char kestinst_context_layout_check
    [sizeof(KestInstallerContext) == (sizeof(void *) == 4 ? 548 : 552) ? 1 : -1];

/* Calls from C; c must be a plain pointer (it is evaluated more than once). */
#define KestContext_SetFolder(c, path) ((c)->ops->SetFolder(KESTINST_THIS(c), (path)))
#define KestContext_GetFolder(c) ((c)->ops->GetFolder(KESTINST_THIS(c)))
#define KestContext_SetReplaceNow(c, value) ((c)->ops->SetReplaceNow(KESTINST_THIS(c), (value)))
#define KestContext_AddSharedDllRef(c, path) ((c)->ops->AddSharedDllRef(KESTINST_THIS(c), (path)))
#define KestContext_ReleaseSharedDllRef(c, path) \
  ((c)->ops->ReleaseSharedDllRef(KESTINST_THIS(c), (path)))
#define KestContext_GetReplaceNow(c) ((c)->ops->GetReplaceNow(KESTINST_THIS(c)))
#define KestContext_SetOption(c, bits, on) ((c)->ops->SetOption(KESTINST_THIS(c), (bits), (on)))
#define KestContext_TestOption(c, bits) ((c)->ops->TestOption(KESTINST_THIS(c), (bits)))
#define KestContext_IsOptionSupported(c, bits) \
  ((c)->ops->IsOptionSupported(KESTINST_THIS(c), (bits)))

/*
 * The entry points, looked up by these exact undecorated names. All are
 * __stdcall (STDAPICALLTYPE), as the COM self-registration entry points;
 * a negative result means failure. On 32-bit Windows __stdcall names are
 * decorated (_DllInstallInit@4): export them through a module-definition
 * file (Visual C++) or link with -Wl,--kill-at (GCC); README.md shows both.
 */
HRESULT STDAPICALLTYPE DllInstallInit(KestInstallerContext *context);
HRESULT STDAPICALLTYPE DllRegisterServer(void);
HRESULT STDAPICALLTYPE DllUnregisterServer(void);
HRESULT STDAPICALLTYPE DllInstallShutdown(void);

typedef HRESULT(STDAPICALLTYPE *KestDllInstallInitProc)(KestInstallerContext *context);
typedef HRESULT(STDAPICALLTYPE *KestDllEntryProc)(void);

#ifdef __cplusplus
}
#endif

#endif /* KESTINST_COMPONENT_H */
