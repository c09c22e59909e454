/* The installer context object as a component sees it: context_view.c
   includes nothing of the installer, only the public component header, and
   is compiled twice, as C (names ViewC_...) and as C++ (ViewCpp_..., the
   member-function calls). The test compares what each view measures and
   gets back with the installer's own definition. */
#ifndef KEST_TESTS_CONTEXT_VIEW_H
#define KEST_TESTS_CONTEXT_VIEW_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Offsets of ops, size, folder, replace_now, delete_at_zero, options and
   supported_options, then the size of the object. */
enum { kViewLayoutEntries = 8 };

/* Results of calling every operation once, in slot order, with arguments
   that tell the operations apart. */
typedef struct ViewResults {
  void *destructor;              /* Destructor(0): the object itself */
  unsigned long set_folder;      /* SetFolder(L"view"): 4 */
  int get_folder_is_field;       /* GetFolder() == the folder field */
  unsigned long replace_now;     /* GetReplaceNow() after SetReplaceNow(7) */
  int add_shared;                /* AddSharedDllRef(shared_path) */
  int release_shared;            /* ReleaseSharedDllRef(shared_path) */
  int set_option_1, set_option_2;
  int test_option_1, test_option_2;
  int supported_1, supported_2;
} ViewResults;

void ViewC_Layout(size_t layout[kViewLayoutEntries]);
void ViewC_CallEveryOperation(void *context, const wchar_t *shared_path, ViewResults *results);
void ViewCpp_Layout(size_t layout[kViewLayoutEntries]);
void ViewCpp_CallEveryOperation(void *context, const wchar_t *shared_path, ViewResults *results);

#ifdef __cplusplus
}
#endif

#endif
