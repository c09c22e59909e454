/* A component's view of the installer context object (context_view.h). */
#include "kestinst_component.h"

#include "tests/install/registration/context_view.h"

#ifdef __cplusplus
#define VIEW(name) ViewCpp_##name
#else
#define VIEW(name) ViewC_##name
#endif

void VIEW(Layout)(size_t layout[kViewLayoutEntries]) {
  layout[0] = offsetof(KestInstallerContext, ops);
  layout[1] = offsetof(KestInstallerContext, size);
  layout[2] = offsetof(KestInstallerContext, folder);
  layout[3] = offsetof(KestInstallerContext, replace_now);
  layout[4] = offsetof(KestInstallerContext, delete_at_zero);
  layout[5] = offsetof(KestInstallerContext, options);
  layout[6] = offsetof(KestInstallerContext, supported_options);
  layout[7] = sizeof(KestInstallerContext);
}

void VIEW(CallEveryOperation)(void *object, const wchar_t *shared_path, ViewResults *r) {
  KestInstallerContext *c = (KestInstallerContext *)object;
#ifdef __cplusplus
  r->destructor = c->ops->Destructor(KESTINST_THIS(c), 0);
  r->set_folder = c->SetFolder(L"view");
  r->get_folder_is_field = c->GetFolder() == c->folder;
  c->SetReplaceNow(7);
  r->replace_now = c->GetReplaceNow();
  r->add_shared = c->AddSharedDllRef(shared_path);
  r->release_shared = c->ReleaseSharedDllRef(shared_path);
  r->set_option_1 = c->SetOption(1, 1);
  r->set_option_2 = c->SetOption(2, 1);
  r->test_option_1 = c->TestOption(1);
  r->test_option_2 = c->TestOption(2);
  r->supported_1 = c->IsOptionSupported(1);
  r->supported_2 = c->IsOptionSupported(2);
#else
  r->destructor = c->ops->Destructor(KESTINST_THIS(c), 0);
  r->set_folder = KestContext_SetFolder(c, L"view");
  r->get_folder_is_field = KestContext_GetFolder(c) == c->folder;
  KestContext_SetReplaceNow(c, 7);
  r->replace_now = KestContext_GetReplaceNow(c);
  r->add_shared = KestContext_AddSharedDllRef(c, shared_path);
  r->release_shared = KestContext_ReleaseSharedDllRef(c, shared_path);
  r->set_option_1 = KestContext_SetOption(c, 1, 1);
  r->set_option_2 = KestContext_SetOption(c, 2, 1);
  r->test_option_1 = KestContext_TestOption(c, 1);
  r->test_option_2 = KestContext_TestOption(c, 2);
  r->supported_1 = KestContext_IsOptionSupported(c, 1);
  r->supported_2 = KestContext_IsOptionSupported(c, 2);
#endif
}
