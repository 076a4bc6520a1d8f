// What the module's exports and methods answer when their body throws.
#include "component/boundary.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <vector>

namespace kindprobe::component {
namespace {

TEST(CallAtBoundary, TurnsWhatIsThrownIntoAnHresult) {
  EXPECT_EQ(S_FALSE, CallAtBoundary([]() -> HRESULT { return S_FALSE; }));
  EXPECT_EQ(E_OUTOFMEMORY, CallAtBoundary([]() -> HRESULT { throw std::bad_alloc(); }));
  // A real allocation failure, not only the exception type.
  EXPECT_EQ(E_OUTOFMEMORY, CallAtBoundary([]() -> HRESULT {
              std::vector<char> tooLarge;
              tooLarge.reserve(tooLarge.max_size() / 2);
              return S_OK;
            }));
  EXPECT_EQ(E_UNEXPECTED, CallAtBoundary([]() -> HRESULT { throw std::runtime_error("x"); }));
  EXPECT_EQ(E_UNEXPECTED, CallAtBoundary([]() -> HRESULT { throw 7; }));
}

}  // namespace
}  // namespace kindprobe::component
