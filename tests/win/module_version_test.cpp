// The version text of a module file, from its fixed file version or "0.0.0.0" without one.
#include <gtest/gtest.h>

#include <string>

#include "component/module_version.h"
#include "kindprobe/version.h"
#include "kindprobe_dll.h"

namespace kindprobe::wintest {
namespace {

TEST(ModuleVersion, IsTheFileVersionOrZerosWithoutOne) {
  component::ModuleVersionText shipped;
  component::ReadModuleVersion(KindprobeDll::Get().module(), &shipped);
  const std::string expected = KINDPROBE_VERSION_TEXT;
  EXPECT_EQ(std::wstring(expected.begin(), expected.end()), shipped.text);

  // This test program carries no version information.
  component::ModuleVersionText none;
  component::ReadModuleVersion(::GetModuleHandleW(nullptr), &none);
  EXPECT_STREQ(L"0.0.0.0", none.text);
}

}  // namespace
}  // namespace kindprobe::wintest
