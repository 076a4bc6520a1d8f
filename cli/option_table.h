// The options of kindprobe, each named once: the parser, the --help text and the check of the
// manual page's option list all read this table, so none of them can leave one out.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "cli/options.h"

namespace kindprobe::cli {

enum class OptionValue {
  kNone,
  kRequired,  // attached ("--jobs=2", "-j2") or the next argument
  kOptional   // attached only: a separate argument stays a path
};

// What an option does to the options being built, given its value (empty for an option that
// takes none) and the name it was given by ("-j" or "--jobs"), for messages. Returns what is
// wrong with the value, or nothing.
using OptionEffect = std::string (*)(Options& options, std::u16string_view value,
                                     std::string_view name);

struct CommandOption {
  std::string_view longName = {};  // without the dashes
  char shortName = '\0';           // '\0': none
  OptionValue value = OptionValue::kNone;
  std::string_view valueName = {};  // as --help shows it
  OptionEffect effect = nullptr;
  // The action the option asks for; kClassify: none.
  Action action = Action::kClassify;
  // Why the option is refused here, when it is; such an option is left out of --help.
  std::string_view absentBecause = {};
  // Its --help lines after the name, separated by line feeds; help lays them out in a column.
  std::string_view help = {};
};

// In the order --help and the manual page list them.
std::span<const CommandOption> CommandOptions();

}  // namespace kindprobe::cli
