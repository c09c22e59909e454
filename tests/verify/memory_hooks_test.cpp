#include "verify/memory_hooks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

// The failed-resize test asks for an impossible size; the sanitizer must
// answer with null instead of stopping the program. Its leak check then shows
// that the old block was released.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace kest {
namespace {

TEST(MemoryHooks, ZeroCountsTouchNothing) {
  MemoryFill(nullptr, 0xAB, 0);
  MemoryCopy(nullptr, nullptr, 0);
  MemoryMove(nullptr, nullptr, 0);
  EXPECT_EQ(MemoryCompare(nullptr, nullptr, 0), 0);
  char text[] = "abc";
  MemoryFill(text, 'x', 0);
  EXPECT_STREQ(text, "abc");
}

TEST(MemoryHooks, CompareOrdersBytesAsUnsigned) {
  const unsigned char a[] = {0x01, 0x80}, b[] = {0x01, 0x7F};
  EXPECT_GT(MemoryCompare(a, b, 2), 0);
  EXPECT_LT(MemoryCompare(b, a, 2), 0);
  EXPECT_EQ(MemoryCompare(a, b, 1), 0);
}

TEST(MemoryHooks, MoveHandlesOverlapBothWays) {
  char up[] = "abcdef", down[] = "abcdef";
  MemoryMove(up + 2, up, 4);
  MemoryMove(down, down + 2, 4);
  EXPECT_STREQ(up, "ababcd");
  EXPECT_STREQ(down, "cdefef");
}

TEST(MemoryHooks, AllocationEdgeCases) {
  void* one = MemoryAllocate(0);  // one usable byte
  ASSERT_NE(one, nullptr);
  static_cast<char*>(one)[0] = 'x';
  void* grown = MemoryReallocate(one, 4096);
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(static_cast<char*>(grown)[0], 'x');
  void* shrunk = MemoryReallocate(grown, 0);  // counts as 1
  ASSERT_NE(shrunk, nullptr);
  EXPECT_EQ(static_cast<char*>(shrunk)[0], 'x');
  MemoryFree(shrunk);
  void* fresh = MemoryReallocate(nullptr, 16);
  ASSERT_NE(fresh, nullptr);
  MemoryFree(fresh);
  MemoryFree(nullptr);
}

TEST(MemoryHooks, FailedResizeReleasesTheOldBlock) {
  void* block = MemoryAllocate(64);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(MemoryReallocate(block, SIZE_MAX / 2), nullptr);
}

}  // namespace
}  // namespace kest
