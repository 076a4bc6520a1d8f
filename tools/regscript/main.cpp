// regscript [--unregister] [--seed FILE.reg] [--replace NAME=VALUE]... SCRIPT
//
// Runs a registry script (UTF-8 text, with or without a byte-order mark, or UTF-16LE text with
// one, as Windows editors save them) through the register pass, or the unregister
// pass, against an in-memory registry, optionally seeded from a .reg file, then prints the
// resulting registry as .reg text and the script's result as "hr=0x........".
// Exit status: 0 when the script succeeded, 1 when it failed, 2 on a usage or input error.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/utf.h"
#include "registration/registry_script.h"
#include "tools/registry_model/memory_registry.h"

namespace {

using kindprobe::HResult;
using kindprobe::platform::Utf8ToUtf16;

constexpr int kExitSucceeded = 0;
constexpr int kExitScriptFailed = 1;
constexpr int kExitUsage = 2;

struct Options {
  bool registerPass = true;
  std::string seed_path;
  std::vector<std::pair<std::string, std::string>> replacements;
  std::string script_path;
};

int Usage(const char* message) {
  std::fprintf(stderr,
               "regscript: %s\n"
               "usage: regscript [--unregister] [--seed FILE.reg] [--replace NAME=VALUE]... "
               "SCRIPT\n",
               message);
  return kExitUsage;
}

bool ReadFile(const std::string& path, std::string* bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

// The script's text up to its first NUL, as a NUL-terminated text ends; a message for the user
// when the bytes cannot be a script.
const char* DecodeScript(std::string_view bytes, std::u16string* text) {
  if (bytes.starts_with(kUtf16BeBom)) return "UTF-16 big-endian scripts are not supported";
  if (bytes.starts_with(kUtf16LeBom)) {
    bytes.remove_prefix(kUtf16LeBom.size());
    if (bytes.size() % 2 != 0) return "the UTF-16 script ends in half a character";
    text->clear();
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
      const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              static_cast<unsigned char>(bytes[i + 1]) << 8);
      if (unit == 0) break;
      text->push_back(unit);
    }
    return nullptr;
  }
  if (bytes.starts_with(kUtf8Bom)) bytes.remove_prefix(kUtf8Bom.size());
  *text = Utf8ToUtf16(bytes.substr(0, bytes.find('\0')));
  return nullptr;
}

// Fills `options`; a message for the user when the arguments are not usable.
const char* ParseArguments(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--unregister") {
      options->registerPass = false;
    } else if (argument == "--seed" || argument == "--replace") {
      if (i + 1 >= argc) return "option needs a value";
      const std::string value = argv[++i];
      if (argument == "--seed") {
        options->seed_path = value;
        continue;
      }
      const size_t equals = value.find('=');
      if (equals == std::string::npos || equals == 0) return "--replace takes NAME=VALUE";
      options->replacements.emplace_back(value.substr(0, equals), value.substr(equals + 1));
    } else if (argument.size() > 1 && argument.front() == '-') {
      return "unknown option";
    } else if (!options->script_path.empty()) {
      return "only one script";
    } else {
      options->script_path = argument;
    }
  }
  return options->script_path.empty() ? "no script given" : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const char* message = ParseArguments(argc, argv, &options)) return Usage(message);

  kindprobe::registry_model::MemoryRegistry registry;
  if (!options.seed_path.empty()) {
    std::string seed;
    std::string error;
    if (!ReadFile(options.seed_path, &seed)) return Usage("cannot read the seed file");
    if (!kindprobe::registry_model::ImportRegText(registry, seed, &error)) {
      std::fprintf(stderr, "regscript: %s: %s\n", options.seed_path.c_str(), error.c_str());
      return kExitUsage;
    }
  }
  std::string script;
  if (!ReadFile(options.script_path, &script)) return Usage("cannot read the script");

  kindprobe::registration::ScriptRegistrar registrar;
  for (const auto& [name, value] : options.replacements) {
    registrar.AppendReplacement(Utf8ToUtf16(name).c_str(), Utf8ToUtf16(value).c_str());
  }
  std::u16string text;
  if (const char* message = DecodeScript(script, &text)) return Usage(message);
  const HResult result = kindprobe::registration::ProcessScriptText(
      registrar, text.c_str(), options.registerPass, registry);

  std::fputs(kindprobe::registry_model::ExportRegText(registry).c_str(), stdout);
  std::printf("\nhr=0x%08X\n", static_cast<unsigned>(result));
  return kindprobe::hr::Succeeded(result) ? kExitSucceeded : kExitScriptFailed;
}
