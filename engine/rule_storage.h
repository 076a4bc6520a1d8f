// Where the pieces of a rule table come from: each rule, extension, pattern, test, mask and
// value is an allocation of its own, owned by the record that holds it. An allocation that
// fails gives null and is remembered, so that a table parsed short of memory can be refused
// whole: a pattern short of a test would match too much.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace kindprobe {

class RuleStorage {
 public:
  RuleStorage() = default;
  RuleStorage(const RuleStorage&) = delete;
  RuleStorage& operator=(const RuleStorage&) = delete;

  // A value-initialised T, or null when memory runs out.
  template <typename T>
  std::unique_ptr<T> New() {
    return Remember(std::unique_ptr<T>(new (std::nothrow) T()));
  }

  // n value-initialised Ts, or null when memory runs out.
  template <typename T>
  std::unique_ptr<T[]> NewArray(size_t n) {
    return Remember(std::unique_ptr<T[]>(new (std::nothrow) T[n]()));
  }

  // Whether some piece could not be had for want of memory since the last Forget.
  bool exhausted() const { return exhausted_; }
  void Forget() { exhausted_ = false; }

 private:
  template <typename P>
  P Remember(P piece) {
    if (!piece) exhausted_ = true;
    return piece;
  }

  bool exhausted_ = false;
};

}  // namespace kindprobe
