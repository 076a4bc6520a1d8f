// Memory of one rule table. Every rule, extension, pattern, test, mask and value of a table is
// carved, one by one, from a few large blocks that the table owns, and all of it goes at once
// when the table is freed: some 500 pieces per table that would otherwise each be a heap
// allocation of their own.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>

namespace kindprobe {

// A non-owning pointer to a piece of a table's storage; the table owns what it points to.
template <typename T>
class TablePtr {
 public:
  constexpr TablePtr() = default;
  explicit TablePtr(T* p) : p_(p) {}

  T* get() const { return p_; }
  T& operator*() const { return *p_; }
  T* operator->() const { return p_; }
  T& operator[](size_t i) const { return p_[i]; }
  explicit operator bool() const { return p_ != nullptr; }
  void reset() { p_ = nullptr; }

 private:
  T* p_ = nullptr;
};

class RuleStorage {
 public:
  constexpr RuleStorage() = default;
  RuleStorage(const RuleStorage&) = delete;
  RuleStorage& operator=(const RuleStorage&) = delete;

  // A value-initialised T, or null when memory runs out.
  template <typename T>
  TablePtr<T> New() {
    static_assert(std::is_trivially_destructible_v<T>, "storage is released, never destroyed");
    void* memory = Allocate(sizeof(T), alignof(T));
    return TablePtr<T>(memory ? new (memory) T() : nullptr);
  }

  // n value-initialised Ts, or null when memory runs out.
  template <typename T>
  TablePtr<T> NewArray(size_t n) {
    static_assert(std::is_trivially_destructible_v<T>, "storage is released, never destroyed");
    if (n > kLargestPiece / sizeof(T)) return TablePtr<T>();
    void* memory = Allocate(n * sizeof(T), alignof(T));
    return TablePtr<T>(memory ? new (memory) T[n]() : nullptr);
  }

  // Gives back every piece at once.
  void Release() {
    blocks_.reset();
    exhausted_ = false;
  }
  // Whether some piece could not be had for want of memory since the last release.
  bool exhausted() const { return exhausted_; }

 private:
  static constexpr size_t kBlockSize = 64 * 1024;
  static constexpr size_t kLargestPiece = kBlockSize / 2;

  struct Block {
    std::unique_ptr<Block> next;
    size_t used = 0;
    size_t size = 0;
    std::unique_ptr<std::byte[]> bytes;
  };

  void* Allocate(size_t size, size_t alignment);

  std::unique_ptr<Block> blocks_;  // newest first
  bool exhausted_ = false;
};

}  // namespace kindprobe
