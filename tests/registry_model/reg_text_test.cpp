// The .reg text form of a registry: what the dump writes and what the loader accepts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/registry_model/memory_registry.h"

namespace kindprobe::registry_model {
namespace {

using namespace platform;

std::string Sections(const std::string& text) { return text.substr(text.find('\n') + 1); }

TEST(RegText, DumpsEveryValueKindInRegeditNotation) {
  MemoryRegistry registry;
  ScopedRegKey key(registry);
  ASSERT_EQ(registry.CreateKey(kHkeyClassesRoot, u"Kp\\Sub", kKeyRead | kKeyWrite, key.receive()),
            kErrorSuccess);
  const std::vector<std::uint8_t> sz = {'a', 0, '"', 0, '\\', 0, 0, 0};
  const std::vector<std::uint8_t> dword = {0x78, 0x56, 0x34, 0x12};
  const std::vector<std::uint8_t> multi = {'o', 0, 0, 0, 0, 0};
  std::vector<std::uint8_t> long_binary(30, 0xAB);
  registry.SetValue(key.get(), nullptr, kRegSz, sz.data(), 8);
  registry.SetValue(key.get(), u"n", kRegDword, dword.data(), 4);
  registry.SetValue(key.get(), u"m", kRegMultiSz, multi.data(), 6);
  registry.SetValue(key.get(), u"b", kRegBinary, long_binary.data(), 30);
  registry.SetValue(key.get(), u"odd", kRegSz, sz.data(), 3);
  key.Close();
  EXPECT_EQ(Sections(ExportRegText(registry)),
            "\n[HKEY_CLASSES_ROOT\\Kp]\n"
            "\n[HKEY_CLASSES_ROOT\\Kp\\Sub]\n"
            "@=\"a\\\"\\\\\"\n"
            "\"n\"=dword:12345678\n"
            "\"m\"=hex(7):6f,00,00,00,00,00\n"
            "\"b\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\n"
            "  ab,ab,ab,ab,ab,ab,ab,ab\n"
            "\"odd\"=hex(1):61,00,22\n");
}

TEST(RegText, ImportsWhatItExportsAndRegeditRemovals) {
  MemoryRegistry source;
  ScopedRegKey key(source);
  ASSERT_EQ(source.CreateKey(kHkeyCurrentUser, u"A\\\u00C4\\C", kKeyRead | kKeyWrite,
                             key.receive()),
            kErrorSuccess);
  const std::vector<std::uint8_t> bytes(100, 0x5A);
  source.SetValue(key.get(), u"big", 0x20, bytes.data(), 100);
  source.SetValue(key.get(), u"quote\"d", kRegSz, u"\u00FCber", 10);
  key.Close();
  const std::string text = ExportRegText(source);

  MemoryRegistry copy;
  std::string error;
  ASSERT_TRUE(ImportRegText(copy, text, &error)) << error;
  EXPECT_EQ(ExportRegText(copy), text);

  ASSERT_TRUE(ImportRegText(copy,
                            "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
                            "; a comment\r\n"
                            "[HKCU\\A\\\xC3\x84\\C]\r\n\"big\"=-\r\n"
                            "[-HKEY_CURRENT_USER\\A\\\xC3\x84]\r\n",
                            &error))
      << error;
  EXPECT_EQ(Sections(ExportRegText(copy)), "\n[HKEY_CURRENT_USER\\A]\n");
}

TEST(RegText, RejectsMalformedTextNamingTheLine) {
  MemoryRegistry registry;
  std::string error;
  EXPECT_FALSE(ImportRegText(registry, "[HKCU\\A]\n", &error));
  EXPECT_EQ(error, "line 1: not a registry file header");
  const std::string header = "Windows Registry Editor Version 5.00\n";
  EXPECT_FALSE(ImportRegText(registry, header + "[HKXX\\A]\n", &error));
  EXPECT_EQ(error, "line 2: unknown root key");
  EXPECT_FALSE(ImportRegText(registry, header + "\"v\"=\"x\"\n", &error));
  EXPECT_EQ(error, "line 2: value outside a key section");
  EXPECT_FALSE(ImportRegText(registry, header + "[HKCU\\A]\n\"v\"=dword:123\n", &error));
  EXPECT_EQ(error, "line 3: malformed value data");
  EXPECT_FALSE(ImportRegText(registry, header + "[HKCU\\A]\n\"v\"=hex:1,02\n", &error));
  EXPECT_FALSE(ImportRegText(registry, header + "[HKCU\\A]\n\"v\"=hex(zz):01\n", &error));
  EXPECT_FALSE(ImportRegText(registry, header + "[HKCU\\A\n", &error));
}

}  // namespace
}  // namespace kindprobe::registry_model
