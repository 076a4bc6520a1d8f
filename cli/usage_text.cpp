#include "cli/usage_text.h"

#include <string>
#include <string_view>
#include <utility>

#include "cli/option_table.h"

namespace kindprobe::cli {
namespace {

// Where the help of each option begins; a longer name has its help start on the next line.
constexpr size_t kHelpColumn = 25;

// "  -j, --jobs N           classify on N threads, ..." and the option's further lines.
std::string OptionHelp(const CommandOption& option) {
  std::string name =
      option.shortName != '\0' ? std::string("  -") + option.shortName + ", " : std::string(6, ' ');
  name += "--";
  name += option.longName;
  // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict) about "literal" + std::string&&.
  if (option.value == OptionValue::kRequired) {
    name += ' ';
    name += option.valueName;
  }
  if (option.value == OptionValue::kOptional) {
    name += " [";
    name += option.valueName;
    name += ']';
  }
  std::string text = std::move(name);
  if (text.size() + 2 <= kHelpColumn) {
    text.append(kHelpColumn - text.size(), ' ');
  } else {
    text += '\n';
    text.append(kHelpColumn, ' ');
  }
  for (const char c : option.help) {
    text += c;
    if (c == '\n') text += std::string(kHelpColumn, ' ');
  }
  return text + "\n";
}

std::string BuildUsageText() {
  std::string text =
      "Usage: kindprobe [OPTIONS] PATH...\n"
      "Tells what a file really is: one line per path, \"PATH: DESCRIPTION (TypeID N)\".\n"
      "\n";
  for (const CommandOption& option : CommandOptions()) {
    if (option.absentBecause.empty()) text += OptionHelp(option);
  }
  return text +
         "\n"
         "TypeID: 0 Unknown, 1 PlayerCache, 2 NonMedia, 3 ZeroByte, 4 InvalidMedia.\n"
         "A path that cannot be examined is printed with TypeID 0, and why goes to standard\n"
         "error as \"kindprobe: PATH: REASON\".\n"
         "Exit status: 0 every path was examined; 1 some paths could not be examined;\n"
         "2 usage error, or trouble that stops the run (a list that cannot be read, output\n"
         "that cannot be written).\n"
         "\n"
         "Changing the rule table:\n"
         "  kindprobe --check-rules new.txt            check what the parser makes of it\n"
         "  kindprobe --rules-file new.txt PATH...     try it\n"
         "  kindprobe --compare-rules new.txt -r DIR   see which answers change\n"
         "then copy it to resources/rules.txt and rebuild.\n";
}

}  // namespace

const char* UsageText() {
  static const std::string text = BuildUsageText();
  return text.c_str();
}

}  // namespace kindprobe::cli
