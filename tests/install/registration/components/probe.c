/* A test component in plain C, built against the public component header
   into several DLLs that differ by the macros below. Each appends what it
   sees, one line per event, to the file named by the environment variable
   KEST_PROBE_RECORD, so that a test in the loading process can read back
   which entry points ran, in which order, and what the installer context
   object answered.

   PROBE_NAME              the name written at the start of every line
   PROBE_ENTRIES           exported entry points: 1 DllInstallInit,
                           2 DllRegisterServer, 4 DllUnregisterServer,
                           8 DllInstallShutdown
   PROBE_FAILS             every entry point returns E_FAIL
   PROBE_SET_REPLACE_NOW   DllInstallInit calls SetReplaceNow(1)
   PROBE_SHARED            DllInstallInit raises the shared count of the
                           file named by KEST_PROBE_SHARED twice, then
                           lowers it once, and leaves the object's
                           delete-at-zero flag set
   PROBE_REFUSE_LOAD       DllMain refuses the load
   PROBE_REMOVE_FOLDER     DllUnregisterServer also empties and removes the
                           folder named by KEST_PROBE_REMOVE (its files
                           only), as an uninstaller of the old copy may
   PROBE_LIST_WINDOWS      DllRegisterServer also records every top-level
                           window of the loading process: "windows" and,
                           per window, its class name and whether it is
                           visible; and, when a wizard page is open, "page"
                           with the state of its Next, Exit Install, Browse
                           and folder edit and its status line

   DllMain records "attach" with the module's path and "detach", so a test
   can prove that a library was never loaded, or that it was unloaded. */
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "kestinst_component.h"

#ifndef PROBE_ENTRIES
#define PROBE_ENTRIES 15
#endif

#ifdef PROBE_FAILS
#define PROBE_RESULT E_FAIL
#else
#define PROBE_RESULT S_OK
#endif

static void Record(const char *format, ...) {
  char path[MAX_PATH];
  char line[1024];
  int length;
  va_list args;
  HANDLE file;
  DWORD written;
  DWORD n = GetEnvironmentVariableA("KEST_PROBE_RECORD", path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  va_start(args, format);
  length = vsnprintf(line, sizeof(line) - 1, format, args);
  va_end(args);
  if (length < 0 || length > (int)sizeof(line) - 2) return;
  line[length++] = '\n';
  file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  WriteFile(file, line, (DWORD)length, &written, NULL);
  CloseHandle(file);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  char path[MAX_PATH];
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    if (GetModuleFileNameA(instance, path, MAX_PATH) == 0) path[0] = '\0';
    Record("%s attach %s", PROBE_NAME, path);
#ifdef PROBE_REFUSE_LOAD
    return FALSE;
#endif
  } else if (reason == DLL_PROCESS_DETACH) {
#ifndef PROBE_REFUSE_LOAD /* whether a refused load is detached varies */
    Record("%s detach", PROBE_NAME);
#endif
  }
  return TRUE;
}

#if PROBE_ENTRIES & 1
__declspec(dllexport) HRESULT STDAPICALLTYPE DllInstallInit(KestInstallerContext *context) {
  char folder[600];
  const WCHAR *text = KestContext_GetFolder(context);
  int np = KestContext_TestOption(context, 1);
  int supported_1 = KestContext_IsOptionSupported(context, 1);
  int supported_2 = KestContext_IsOptionSupported(context, 2);
  int set_2 = KestContext_SetOption(context, 2, 1);
  unsigned long long address = (unsigned long long)(ULONG_PTR)context;
  if (WideCharToMultiByte(CP_ACP, 0, text, -1, folder, sizeof(folder), NULL, NULL) == 0) {
    folder[0] = '\0';
  }
  Record("%s init context=%08lx%08lx size=%lu folder=%s folder_in_object=%d np=%d "
         "supported=%d,%d set_2=%d options=%lu replace_now=%lu",
         PROBE_NAME, (unsigned long)(address >> 32), (unsigned long)address,
         (unsigned long)context->size, folder, text == context->folder, np, supported_1,
         supported_2, set_2, (unsigned long)context->options,
         (unsigned long)KestContext_GetReplaceNow(context));
#ifdef PROBE_SET_REPLACE_NOW
  KestContext_SetReplaceNow(context, 1);
#endif
#ifdef PROBE_SHARED
  {
    WCHAR shared[300];
    DWORD n = GetEnvironmentVariableW(L"KEST_PROBE_SHARED", shared, 300);
    if (n > 0 && n < 300) {
      int add_1 = KestContext_AddSharedDllRef(context, shared);
      int add_2 = KestContext_AddSharedDllRef(context, shared);
      int release = KestContext_ReleaseSharedDllRef(context, shared);
      Record("%s shared add=%d,%d release=%d", PROBE_NAME, add_1, add_2, release);
    }
    /* Left set, as a careless component might. */
    context->delete_at_zero = 1;
  }
#endif
  return PROBE_RESULT;
}
#endif

/* The entry points without arguments only record that they ran. */
#define PROBE_ENTRY(name, event)                                \
  __declspec(dllexport) HRESULT STDAPICALLTYPE name(void) {     \
    Record("%s " event, PROBE_NAME);                            \
    return PROBE_RESULT;                                        \
  }

#if (PROBE_ENTRIES & 2) && defined(PROBE_LIST_WINDOWS)
struct WindowList {
  char text[800];
  size_t length;
};

static BOOL CALLBACK ListWindow(HWND window, LPARAM list_address) {
  struct WindowList *list = (struct WindowList *)list_address;
  DWORD process = 0;
  char name[64];
  int n;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId()) return TRUE;
  if (GetClassNameA(window, name, sizeof(name)) == 0) name[0] = '\0';
  n = snprintf(list->text + list->length, sizeof(list->text) - list->length, " %s:%s", name,
               IsWindowVisible(window) ? "visible" : "hidden");
  if (n > 0 && (size_t)n < sizeof(list->text) - list->length) list->length += (size_t)n;
  return TRUE;
}

/* The destination page of this process (a visible window of the page
   class), or null. */
static BOOL CALLBACK FindPage(HWND window, LPARAM page_address) {
  DWORD process = 0;
  char name[64];
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  if (GetClassNameA(window, name, sizeof(name)) == 0 || strcmp(name, "KestInstDlg") != 0) {
    return TRUE;
  }
  *(HWND *)page_address = window;
  return FALSE;
}

/* "shown", "hidden" or "disabled" (shown but not enabled); "none" when the
   page lacks the control. */
static const char *ControlState(HWND page, int id) {
  HWND control = GetDlgItem(page, id);
  if (control == NULL) return "none";
  if (!IsWindowVisible(control)) return "hidden";
  return IsWindowEnabled(control) ? "shown" : "disabled";
}

__declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer(void) {
  struct WindowList list;
  HWND page = NULL;
  char status[MAX_PATH] = "";
  list.text[0] = '\0';
  list.length = 0;
  EnumWindows(ListWindow, (LPARAM)&list);
  Record("%s register", PROBE_NAME);
  Record("%s windows%s", PROBE_NAME, list.text);
  /* A wizard run: the page's buttons and edit, and its status line, while
     the installation runs in it. */
  EnumWindows(FindPage, (LPARAM)&page);
  if (page != NULL) {
    GetDlgItemTextA(page, 1003, status, sizeof(status));
    Record("%s page next:%s exit:%s browse:%s edit:%s status:%s:%s", PROBE_NAME,
           ControlState(page, 1), ControlState(page, 3), ControlState(page, 1000),
           ControlState(page, 1004), ControlState(page, 1003), status);
  }
  return PROBE_RESULT;
}
#elif PROBE_ENTRIES & 2
PROBE_ENTRY(DllRegisterServer, "register")
#endif
#if (PROBE_ENTRIES & 4) && defined(PROBE_REMOVE_FOLDER)
__declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer(void) {
  char folder[MAX_PATH], pattern[MAX_PATH + 4], file[2 * MAX_PATH];
  WIN32_FIND_DATAA found;
  HANDLE search;
  DWORD n = GetEnvironmentVariableA("KEST_PROBE_REMOVE", folder, MAX_PATH);
  Record("%s unregister", PROBE_NAME);
  if (n == 0 || n >= MAX_PATH) return PROBE_RESULT;
  snprintf(pattern, sizeof(pattern), "%s\\*", folder);
  search = FindFirstFileA(pattern, &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      snprintf(file, sizeof(file), "%s\\%s", folder, found.cFileName);
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA(file);
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  Record("%s removed %d", PROBE_NAME, RemoveDirectoryA(folder) ? 1 : 0);
  return PROBE_RESULT;
}
#elif PROBE_ENTRIES & 4
PROBE_ENTRY(DllUnregisterServer, "unregister")
#endif
#if PROBE_ENTRIES & 8
PROBE_ENTRY(DllInstallShutdown, "shutdown")
#endif
