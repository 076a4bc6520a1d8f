// The sweep itself: a scenario is run with its first, second, third, ... allocation failing
// until a run meets no failure.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <new>
#include <string>

#include "tests/alloc/failing_allocator.h"

namespace kindprobe::alloctest {

// No scenario comes near this many allocations; a sweep that gets there has run away.
inline constexpr std::size_t kSweepLimit = 20000;

struct Injected {
  bool failed;   // the armed allocation failed
  bool escaped;  // std::bad_alloc came out of the code under test
};

// Runs `body` with allocation `nth` from now failing.
template <typename Body>
Injected RunFailing(std::size_t nth, Body body) {
  bool escaped = false;
  FailAllocation(nth);
  try {
    body();
  } catch (const std::bad_alloc&) {
    escaped = true;
  }
  return {StopFailing(), escaped};
}

// Calls attempt(1), attempt(2), ... until one reports that its failure did not happen; the
// number of allocations the scenario makes, also printed under `what`.
template <typename Attempt>
std::size_t Sweep(const std::string& what, Attempt attempt) {
  std::size_t allocations = kSweepLimit;
  for (std::size_t nth = 1; nth < kSweepLimit; ++nth) {
    SCOPED_TRACE("allocation " + std::to_string(nth) + " failing");
    if (!attempt(nth)) {
      allocations = nth - 1;
      break;
    }
    if (::testing::Test::HasFatalFailure()) return nth;
  }
  if (allocations == kSweepLimit) ADD_FAILURE() << "the sweep did not end";
  std::printf("[ swept    ] %s: %s allocations\n", what.c_str(),
              std::to_string(allocations).c_str());
  return allocations;
}

}  // namespace kindprobe::alloctest
