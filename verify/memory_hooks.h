// The memory operations the signature check is written against. They behave
// like the C library's, with the edge cases pinned down:
//   - fill, copy and move do nothing for a count of 0 (pointers may then be
//     null); move allows overlapping blocks;
//   - compare of 0 bytes is equal; otherwise <0, 0 or >0 by the first
//     differing byte, compared as unsigned;
//   - allocate of 0 bytes allocates 1 byte;
//   - reallocate of a null block allocates, a count of 0 counts as 1, and a
//     block that cannot be resized is freed (the result is then null, so the
//     caller never holds a block it cannot account for);
//   - free of null does nothing.
// Blocks from MemoryAllocate/MemoryReallocate are released with MemoryFree.
#pragma once
#include <cstddef>

namespace kest {

void MemoryFill(void* block, int byte, size_t count);
void MemoryCopy(void* target, const void* source, size_t count);
void MemoryMove(void* target, const void* source, size_t count);
int MemoryCompare(const void* a, const void* b, size_t count);
void* MemoryAllocate(size_t count);
void* MemoryReallocate(void* block, size_t count);
void MemoryFree(void* block);

}  // namespace kest
