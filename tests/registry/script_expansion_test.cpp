// Replacement expansion: what it produces, and that its failures leave the registry untouched.
#include <string>

#include "registration/script_steps.h"
#include "tests/registry/registry_fixture.h"

namespace kindprobe::regtest {
namespace {

using registration::script::ExpandReplacements;
using registration::script::kMaxReferenceNameLength;

class Expansion : public ::testing::Test {
 protected:
  HResult Expand(std::u16string_view text, std::u16string* out) {
    const std::u16string script(text);
    return ExpandReplacements(registrar_, script.c_str(), out);
  }
  registration::ScriptRegistrar registrar_;
};

TEST_F(Expansion, ReplacesReferencesEverywhereAndInsertsValuesUnchanged) {
  ASSERT_EQ(registrar_.AppendReplacement(u"Module", u"C:\\a''b.dll"), hr::kOk);
  ASSERT_EQ(registrar_.AppendReplacement(u"MODULE", u"second"), hr::kOk);
  ASSERT_EQ(registrar_.AppendReplacement(u"Nested", u"%Module%"), hr::kOk);
  std::u16string out;
  ASSERT_EQ(Expand(u"x = s '%module%' 100%% %Nested%%%", &out), hr::kOk);
  EXPECT_EQ(out, u"x = s 'C:\\a''b.dll' 100% %Module%%");
  ASSERT_EQ(Expand(u"", &out), hr::kOk);
  EXPECT_EQ(out, u"");
}

TEST_F(Expansion, ReferenceNamesHoldUpTo31Units) {
  const std::u16string longest(kMaxReferenceNameLength, u'N');
  const std::u16string too_long(kMaxReferenceNameLength + 1, u'N');
  ASSERT_EQ(registrar_.AppendReplacement(longest.c_str(), u"found"), hr::kOk);
  ASSERT_EQ(registrar_.AppendReplacement(too_long.c_str(), u"never"), hr::kOk);
  std::u16string out;
  ASSERT_EQ(Expand(u"%" + longest + u"%", &out), hr::kOk);
  EXPECT_EQ(out, u"found");
  EXPECT_EQ(Expand(u"%" + too_long + u"%", &out), hr::kFail);
}

TEST_F(Expansion, MalformedReferencesFail) {
  std::u16string out;
  EXPECT_EQ(Expand(u"%Unknown%", &out), hr::kDispException);
  EXPECT_EQ(Expand(u"text %unterminated", &out), hr::kDispException);
  EXPECT_EQ(Expand(u"ends in %", &out), hr::kDispException);
  EXPECT_EQ(ExpandReplacements(registrar_, nullptr, &out), hr::kPointer);
}

TEST_F(Expansion, ValuesFarLongerThanTheScriptExpandWhole) {
  ASSERT_EQ(registrar_.AppendReplacement(u"Big", std::u16string(100000, u'b').c_str()), hr::kOk);
  std::u16string out;
  ASSERT_EQ(Expand(u"<%Big%><%Big%>", &out), hr::kOk);
  EXPECT_EQ(out, u"<" + std::u16string(100000, u'b') + u"><" + std::u16string(100000, u'b') + u">");
}

using ExpansionFailures = RegistryTest;

TEST_P(ExpansionFailures, LeaveTheRegistryUntouched) {
  ASSERT_EQ(registrar_.AppendReplacement(u"Known", u"value"), hr::kOk);
  const std::u16string too_long(kMaxReferenceNameLength + 1, u'n');
  const std::string before = Tree();
  EXPECT_EQ(Register(u"Written = s '%Known%' Later = s '%Unknown%'"), hr::kDispException);
  EXPECT_EQ(Register(u"Written = s '%" + too_long + u"%'"), hr::kFail);
  EXPECT_EQ(Register(u"Written = s '100%'"), hr::kDispException);
  EXPECT_EQ(Tree(), before);
  EXPECT_FALSE(KeyExists(u"Written"));
  EXPECT_EQ(Register(u"Written = s '%known% 100%%'"), hr::kOk);
  EXPECT_EQ(ValueAt(u"Written", u""), Sz(u"value 100%"));
}

INSTANTIATE_TEST_SUITE_P(Registries, ExpansionFailures, ::testing::ValuesIn(RegistryTargets()),
                         TargetName);

}  // namespace
}  // namespace kindprobe::regtest
