#include "tests/manifest/failing_allocation.h"

#include <new>

namespace kest {
namespace {

size_t fail_size = 0;
int fail_times = 0;
int failed = 0;

bool ShouldFail(size_t size) {
  if (fail_times == 0 || size != fail_size) return false;
  --fail_times;
  ++failed;
  return true;
}

}  // namespace

void FailAllocations(size_t size, int times) {
  fail_size = size;
  fail_times = times;
}

void StopFailingAllocations() { fail_times = 0; }

int FailedAllocations() { return failed; }

}  // namespace kest

// Allocating through the throwing forms keeps each block paired with the
// matching delete, as the sanitizers check.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (kest::ShouldFail(size)) return nullptr;
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (kest::ShouldFail(size)) return nullptr;
  try {
    return ::operator new[](size);
  } catch (...) {
    return nullptr;
  }
}
