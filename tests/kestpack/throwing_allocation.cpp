#include "tests/kestpack/throwing_allocation.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace kest {
namespace test {
namespace {

std::atomic<size_t> limit{SIZE_MAX};

}  // namespace

ScopedAllocationLimit::ScopedAllocationLimit(size_t bytes) { limit = bytes; }
ScopedAllocationLimit::~ScopedAllocationLimit() { limit = SIZE_MAX; }

namespace {

void* Allocate(size_t size) {
  void* block = size < limit ? malloc(size ? size : 1) : nullptr;
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

}  // namespace
}  // namespace test
}  // namespace kest

void* operator new(std::size_t size) { return kest::test::Allocate(size); }
void* operator new[](std::size_t size) { return kest::test::Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return kest::test::Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return operator new(size, std::nothrow);
}
void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete(void* block, std::size_t) noexcept { free(block); }
void operator delete[](void* block, std::size_t) noexcept { free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { free(block); }
