#include "tests/alloc/failing_allocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace kindprobe::alloctest {
namespace {

// Allocations left before the failing one; 0 when disarmed.
std::atomic<std::size_t> countdown{0};
std::atomic<bool> failed{false};
std::atomic<std::size_t> liveBlocks{0};

bool ShouldFail() {
  std::size_t left = countdown.load(std::memory_order_relaxed);
  while (left != 0) {
    if (countdown.compare_exchange_weak(left, left - 1, std::memory_order_relaxed)) {
      if (left != 1) return false;
      failed.store(true, std::memory_order_relaxed);
      return true;
    }
  }
  return false;
}

void* Allocate(std::size_t size) noexcept {
  if (ShouldFail()) return nullptr;
  // malloc, so that AddressSanitizer still sees every block and reports leaks.
  void* memory = std::malloc(size == 0 ? 1 : size);
  if (memory != nullptr) liveBlocks.fetch_add(1, std::memory_order_relaxed);
  return memory;
}

void Free(void* memory) noexcept {
  if (memory == nullptr) return;
  liveBlocks.fetch_sub(1, std::memory_order_relaxed);
  std::free(memory);
}

void* AllocateOrThrow(std::size_t size) {
  if (void* memory = Allocate(size)) return memory;
  throw std::bad_alloc();
}

}  // namespace

void FailAllocation(std::size_t nth) {
  failed.store(false, std::memory_order_relaxed);
  countdown.store(nth, std::memory_order_relaxed);
}

bool StopFailing() {
  countdown.store(0, std::memory_order_relaxed);
  return failed.exchange(false, std::memory_order_relaxed);
}

std::size_t LiveBlocks() { return liveBlocks.load(std::memory_order_relaxed); }

}  // namespace kindprobe::alloctest

using kindprobe::alloctest::Allocate;
using kindprobe::alloctest::AllocateOrThrow;
using kindprobe::alloctest::Free;

void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* memory) noexcept { Free(memory); }
void operator delete[](void* memory) noexcept { Free(memory); }
void operator delete(void* memory, std::size_t) noexcept { Free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { Free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { Free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { Free(memory); }
