// The manual page is written by hand; its option list must still be the option table's.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "cli/option_table.h"

namespace kindprobe::cli {
namespace {

// A heading as man shows it, without its fonts: `.BR \-f ", " \-\-files\-from " " \fILIST\fR`
// is "-f, --files-from LIST". Only .B puts spaces between its words.
std::string Shown(const std::string& heading) {
  const bool spaced = heading.starts_with(".B ");
  std::string shown;
  bool quoted = false;
  for (size_t i = heading.find(' ') + 1; i < heading.size(); ++i) {
    const char c = heading[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '\\' && heading[i + 1] == 'f') {
      i += 2;
    } else if (c == '\\') {
      continue;
    } else if (c != ' ' || quoted || spaced) {
      shown += c;
    }
  }
  return shown;
}

// "-f, --files-from V" for either: the value's name may differ ("--lang zh|en" in the help).
std::string Form(const std::string& shown) {
  const size_t space = shown.find(' ', shown.find("--"));
  if (space == std::string::npos) return shown;
  return shown.substr(0, space) + (shown[space + 1] == '[' ? " [V]" : " V");
}

std::string Form(const CommandOption& option) {
  std::string form = option.shortName != '\0' ? std::string("-") + option.shortName + ", " : "";
  form += "--" + std::string(option.longName);
  if (option.value == OptionValue::kRequired) form += " V";
  if (option.value == OptionValue::kOptional) form += " [V]";
  return form;
}

TEST(ManPage, ListsTheOptionsOfTheTableInItsOrder) {
  std::ifstream page(KINDPROBE_MAN_PAGE_SOURCE);
  ASSERT_TRUE(page) << KINDPROBE_MAN_PAGE_SOURCE;
  std::vector<std::string> listed;
  std::string line;
  while (std::getline(page, line) && line != ".SH OPTIONS") {
  }
  // Each option's heading is the line after a .TP, up to the next section.
  while (std::getline(page, line) && !line.starts_with(".SH ")) {
    if (line == ".TP" && std::getline(page, line)) listed.push_back(Form(Shown(line)));
  }
  std::vector<std::string> table;
  for (const CommandOption& option : CommandOptions()) table.push_back(Form(option));
  EXPECT_EQ(listed, table);
}

}  // namespace
}  // namespace kindprobe::cli
