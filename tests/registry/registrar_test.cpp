// The registrar object: its COM-shaped slots and its replacement list.
#include <gtest/gtest.h>

#include <string>

#include "registration/registry_script.h"

namespace kindprobe::registration {
namespace {

TEST(ScriptRegistrar, LooksLikeACOMObjectButCountsNothingAndHandsOutNothing) {
  ScriptRegistrar registrar;
  int dummy = 0;
  void* object = &dummy;
  EXPECT_EQ(registrar.QueryInterface(InterfaceId{}, &object), hr::kNotImpl);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(registrar.QueryInterface(InterfaceId{}, nullptr), hr::kNotImpl);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(registrar.AddRef(), 1u);
    EXPECT_EQ(registrar.Release(), 0u);
  }
  // Release destroyed nothing: the object still works.
  EXPECT_EQ(registrar.AppendReplacement(u"A", u"1"), hr::kOk);
  EXPECT_EQ(registrar.ReplacementCount(), 1u);
}

TEST(ScriptRegistrar, KeepsPrivateCopiesInOrderAndFindsTheFirstMatchRegardlessOfCase) {
  ScriptRegistrar registrar;
  std::u16string name = u"Module";
  std::u16string value = u"C:\\first.dll";
  ASSERT_EQ(registrar.AppendReplacement(name.c_str(), value.c_str()), hr::kOk);
  name = u"XXXXXX";
  value = u"changed";
  ASSERT_EQ(registrar.AppendReplacement(u"MODULE", u"C:\\second.dll"), hr::kOk);
  ASSERT_EQ(registrar.AppendReplacement(u"\u00C4rger", u"umlaut"), hr::kOk);
  EXPECT_EQ(registrar.ReplacementCount(), 3u);
  ASSERT_NE(registrar.FindReplacement(u"module"), nullptr);
  EXPECT_EQ(std::u16string(registrar.FindReplacement(u"module")), u"C:\\first.dll");
  EXPECT_EQ(std::u16string(registrar.FindReplacement(u"\u00E4RGER")), u"umlaut");
  EXPECT_EQ(registrar.FindReplacement(u"Modul"), nullptr);
  EXPECT_EQ(registrar.FindReplacement(u"XXXXXX"), nullptr);

  EXPECT_EQ(registrar.RemoveAllReplacements(), hr::kOk);
  EXPECT_EQ(registrar.ReplacementCount(), 0u);
  EXPECT_EQ(registrar.FindReplacement(u"Module"), nullptr);
}

TEST(ScriptRegistrar, RefusesNullArgumentsWithoutAppending) {
  ScriptRegistrar registrar;
  EXPECT_EQ(registrar.AppendReplacement(nullptr, u"v"), hr::kInvalidArg);
  EXPECT_EQ(registrar.AppendReplacement(u"n", nullptr), hr::kInvalidArg);
  EXPECT_EQ(registrar.ReplacementCount(), 0u);
  EXPECT_EQ(registrar.AppendReplacement(u"", u""), hr::kOk);
}

}  // namespace
}  // namespace kindprobe::registration
