// Makes large allocations fail the way an exhausted heap does: a test
// binary that links throwing_allocation.cpp replaces every form of
// operator new and delete (over malloc and free, which the sanitizers
// still watch); while a limit is set, asking for that many bytes or more
// throws std::bad_alloc (the nothrow forms return null).
#pragma once
#include <cstddef>

namespace kest {
namespace test {

// Allocations of limit bytes or more fail while the object lives.
class ScopedAllocationLimit {
 public:
  explicit ScopedAllocationLimit(size_t limit);
  ~ScopedAllocationLimit();
  ScopedAllocationLimit(const ScopedAllocationLimit&) = delete;
  ScopedAllocationLimit& operator=(const ScopedAllocationLimit&) = delete;
};

}  // namespace test
}  // namespace kest
