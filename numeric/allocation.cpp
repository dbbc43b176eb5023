// One ending for every allocation that fails, in GMP, FLINT and operator new.
#include "numeric/allocation.hpp"

#include <flint/flint.h>
#include <gmp.h>

#include <cstdlib>
#include <new>

namespace {

void (*end_for_lack_of_memory)() = nullptr;

[[noreturn]] void Ended() {
  end_for_lack_of_memory();
  std::_Exit(EXIT_FAILURE);  // only should `end` return, which its contract forbids
}

// The block an allocator gave for `size` bytes; null is a failure unless no bytes were asked for
// (malloc may answer a request for none with null).
void* Allocated(void* block, size_t size) {
  if (block == nullptr && size != 0) Ended();
  return block;
}

extern "C" {

// GMP's and FLINT's allocation alike.
void* Allocate(size_t size) {
  return Allocated(std::malloc(size), size);
}
void* GmpReallocate(void* block, size_t /*old_size*/, size_t size) {
  return Allocated(std::realloc(block, size), size);
}
void GmpFree(void* block, size_t /*size*/) {
  std::free(block);
}

void* FlintAllocateZeroed(size_t count, size_t size) {
  return Allocated(std::calloc(count, size), count * size);
}
void* FlintReallocate(void* block, size_t size) {
  return Allocated(std::realloc(block, size), size);
}
void FlintFree(void* block) {
  std::free(block);
}

}  // extern "C"

void NewFailed() {
  Ended();
}

}  // namespace

void OnAllocationFailure(void (*end)()) {
  end_for_lack_of_memory = end;
  mp_set_memory_functions(Allocate, GmpReallocate, GmpFree);
  __flint_set_memory_functions(Allocate, FlintAllocateZeroed, FlintReallocate, FlintFree);
  std::set_new_handler(NewFailed);
}
