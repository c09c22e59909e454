// The installer context object: what it holds when made, each operation,
// and its layout and operation order as a component compiled against the
// public header sees them, from C and from C++.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "install/installer_context_win32.h"
#include "tests/install/registration/context_view.h"
#include "tests/install/registration/registration_fixture.h"

namespace kest {
namespace {

TEST(InstallerContext, StartsFromTheContextText) {
  InstallerContextPtr context(CreateInstallerContext("c:\\Morvane Components"));
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(context->size, sizeof(InstallerContext));
  EXPECT_EQ(std::wstring(context->folder), L"c:\\Morvane Components");
  EXPECT_EQ(context->replace_now, 0u);
  EXPECT_EQ(context->delete_at_zero, 0u);
  EXPECT_EQ(context->options, 0u);
  EXPECT_EQ(context->supported_options, 1u);

  // 259 characters fit with the terminator of the converted text; one more
  // is left out whole rather than cut.
  context.reset(CreateInstallerContext(std::string(259, 'a').c_str()));
  EXPECT_EQ(std::wstring(context->folder), std::wstring(259, L'a'));
  context.reset(CreateInstallerContext(std::string(260, 'a').c_str()));
  EXPECT_EQ(std::wstring(context->folder), L"");
}

TEST(InstallerContext, SetFolderCopiesWhatFitsAndRefusesTheRest) {
  InstallerContextPtr context(CreateInstallerContext("before"));
  const std::wstring longest(261, L'x');
  struct Case {
    const wchar_t* path;
    uint32_t result;
    std::wstring folder_after;
  } cases[] = {
      {L"d:\\other", 8, L"d:\\other"},
      {L"", 0, L"d:\\other"},
      {nullptr, kFolderRefused, L"d:\\other"},
      {reinterpret_cast<const wchar_t*>(16), kFolderRefused, L"d:\\other"},
      {longest.c_str(), 261, longest},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(context->SetFolder(c.path), c.result);
    EXPECT_EQ(std::wstring(context->GetFolder()), c.folder_after);
  }
  const std::wstring too_long(262, L'y');
  EXPECT_EQ(context->SetFolder(too_long.c_str()), kFolderRefused);
  EXPECT_EQ(std::wstring(context->folder), longest);
  EXPECT_EQ(context->GetFolder(), context->folder);
}

TEST(InstallerContext, OptionsAreAcceptedThroughTheSupportedBit) {
  InstallerContextPtr context(CreateInstallerContext(""));
  EXPECT_EQ(context->IsOptionSupported(1), 1);
  EXPECT_EQ(context->IsOptionSupported(2), 0);
  EXPECT_EQ(context->TestOption(1), 0);
  EXPECT_EQ(context->SetOption(2, 1), 0);
  EXPECT_EQ(context->options, 0u);
  EXPECT_EQ(context->SetOption(1, 1), 1);
  EXPECT_EQ(context->TestOption(1), 1);
  EXPECT_EQ(context->TestOption(3), 1);  // any of the bits
  // Bits asked for beside the supported one are accepted with it and set.
  EXPECT_EQ(context->SetOption(3, 1), 1);
  EXPECT_EQ(context->TestOption(2), 1);
  EXPECT_EQ(context->options, 3u);
  EXPECT_EQ(context->SetOption(1, 0), 1);
  EXPECT_EQ(context->options, 2u);
  EXPECT_EQ(context->SetOption(2, 0), 0);  // refused: bit 2 alone is not supported
  EXPECT_EQ(context->options, 2u);
  EXPECT_EQ(context->SetOption(3, 0), 1);
  EXPECT_EQ(context->options, 0u);
  context->SetReplaceNow(5);
  EXPECT_EQ(context->GetReplaceNow(), 5u);
  EXPECT_EQ(context->replace_now, 5u);
}

// Offsets as the installer defines them, and as they must be for components
// of either width: a pointer, then fields of 4 bytes and 262 UTF-16 units.
TEST(InstallerContext, PublicHeaderMatchesTheInstallerLayout) {
  const size_t p = sizeof(void*);
  const size_t installer[kViewLayoutEntries] = {
      offsetof(InstallerContext, operations),     offsetof(InstallerContext, size),
      offsetof(InstallerContext, folder),         offsetof(InstallerContext, replace_now),
      offsetof(InstallerContext, delete_at_zero), offsetof(InstallerContext, options),
      offsetof(InstallerContext, supported_options), sizeof(InstallerContext)};
  const size_t fixed[kViewLayoutEntries] = {0,       p,       p + 4,   p + 528,
                                            p + 532, p + 536, p + 540, p + 544};
  size_t c_view[kViewLayoutEntries];
  size_t cpp_view[kViewLayoutEntries];
  ViewC_Layout(c_view);
  ViewCpp_Layout(cpp_view);
  for (int i = 0; i < kViewLayoutEntries; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(installer[i], fixed[i]);
    EXPECT_EQ(c_view[i], fixed[i]);
    EXPECT_EQ(cpp_view[i], fixed[i]);
  }
  EXPECT_EQ(sizeof(InstallerContext), p == 4 ? 548u : 552u);
}

// Each slot is called through the public header on the object the installer
// hands out; a slot out of order gives a different result somewhere. The
// shared-count pair is told apart by the count it leaves: raise then lower
// leaves 0 for an uncounted file, lower then raise would leave 1.
TEST(InstallerContext, PublicHeaderCallsEveryOperationInOrder) {
  test::ScratchFolder folder;
  test::SharedDllsKey key;
  const std::string shared = folder.File("shared.dll");
  ASSERT_TRUE(test::WriteWholeFile(shared, "x"));
  const std::wstring shared_wide = test::Wide(shared);
  for (auto* call : {&ViewC_CallEveryOperation, &ViewCpp_CallEveryOperation}) {
    SCOPED_TRACE(call == &ViewC_CallEveryOperation ? "C" : "C++");
    InstallerContextPtr context(CreateInstallerContext("start"));
    ViewResults r = {};
    call(context.get(), shared_wide.c_str(), &r);
    EXPECT_EQ(r.destructor, context.get());
    EXPECT_EQ(r.set_folder, 4u);
    EXPECT_EQ(std::wstring(context->folder), L"view");
    EXPECT_EQ(r.get_folder_is_field, 1);
    EXPECT_EQ(r.replace_now, 7u);
    EXPECT_EQ(context->replace_now, 7u);
    EXPECT_EQ(r.add_shared, 1);
    EXPECT_EQ(r.release_shared, 1);
    EXPECT_EQ(key.Count(shared), 0);
    EXPECT_EQ(r.set_option_1, 1);
    EXPECT_EQ(r.set_option_2, 0);
    EXPECT_EQ(r.test_option_1, 1);
    EXPECT_EQ(r.test_option_2, 0);
    EXPECT_EQ(r.supported_1, 1);
    EXPECT_EQ(r.supported_2, 0);
    EXPECT_EQ(context->options, 1u);
    key.Remove(shared);
  }
}

}  // namespace
}  // namespace kest
