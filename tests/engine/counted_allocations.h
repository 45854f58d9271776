// Counting heap allocations in a test program: replaces the global
// operator new and delete. Include it from exactly one source file of a
// program. Allocations made on a thread while its flag is set are counted.
// (The replacements pair malloc with free, which the compiler cannot see
// through inlining.)
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
thread_local bool counting_allocations = false;
std::atomic<int> counted_allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  if (counting_allocations) counted_allocations.fetch_add(1);
  if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
// The nothrow forms must pair with the deletes below too (temporary buffers
// of the standard algorithms use them).
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return operator new(size, std::nothrow);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
