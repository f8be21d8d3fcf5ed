// The program's allocation path: every operator new of the program comes here, and exhausted
// memory is fatal ("memory allocation of N bytes failed") instead of an exception.

#include <cstdlib>
#include <new>

#include "platform/fatal.h"

namespace {

void* allocate(std::size_t size) noexcept {
  // malloc(0) may return NULL; operator new must return a unique pointer.
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) launcher::fatal_allocation_failure(size);
  return p;
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
