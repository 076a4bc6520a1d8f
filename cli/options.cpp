#include "cli/options.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "cli/option_table.h"
#include "diagnosis/printable_name.h"
#include "cli/text/text_join.h"
#include "platform/command_line.h"

namespace kindprobe::cli {
namespace {

using std::u16string_view;

// Option names are ASCII, so comparing unit by unit is comparing the names.
bool SameName(std::string_view name, u16string_view typed) {
  return std::equal(name.begin(), name.end(), typed.begin(), typed.end());
}

const CommandOption* FindLong(u16string_view name) {
  for (const CommandOption& option : CommandOptions()) {
    if (SameName(option.longName, name)) return &option;
  }
  return nullptr;
}

const CommandOption* FindShort(char16_t name) {
  for (const CommandOption& option : CommandOptions()) {
    if (option.shortName != '\0' && option.shortName == name) return &option;
  }
  return nullptr;
}

// "--rules" for Action::kRules: the option that asks for the action.
std::string ActionOption(Action action) {
  for (const CommandOption& option : CommandOptions()) {
    if (option.action == action) return Join({"--", option.longName});
  }
  return {};
}

class Parser {
 public:
  explicit Parser(const std::vector<std::u16string>& args) : args_(args) {}

  ParseOutcome Run() {
    bool optionsEnded = false;
    for (index_ = 0; index_ < args_.size() && error_.empty(); ++index_) {
      const u16string_view arg = args_[index_];
      if (!optionsEnded && platform::IsSystemHelpSwitch(arg)) {
        SetAction(Action::kHelp);
      } else if (optionsEnded || arg.size() < 2 || arg[0] != u'-') {
        options_.paths.emplace_back(arg);
      } else if (arg == u"--") {
        optionsEnded = true;
      } else if (arg.substr(0, 2) == u"--") {
        Long(arg.substr(2));
      } else {
        Shorts(arg.substr(1));
      }
    }
    if (error_.empty()) CheckCombination();
    ParseOutcome outcome;
    if (error_.empty()) {
      outcome.options = std::move(options_);
    } else {
      outcome.error = std::move(error_);
    }
    return outcome;
  }

 private:
  // The value of an option: attached ("--jobs=2", "-j2") or the next argument.
  std::optional<u16string_view> Value(std::optional<u16string_view> attached,
                                      std::string_view name) {
    if (attached) return attached;
    if (index_ + 1 >= args_.size()) {
      error_ = Join({"option ", name, " needs a value"});
      return std::nullopt;
    }
    return u16string_view(args_[++index_]);
  }

  // Does what `option`, given as `name`, does. Its action is asked for even when its value is
  // missing or wrong; that a combination is refused is then what the user hears.
  void Apply(const CommandOption& option, std::string_view name,
             std::optional<u16string_view> attached) {
    if (!option.absentBecause.empty()) {
      error_ = Join({"option ", name, " ", option.absentBecause});
      return;
    }
    std::optional<u16string_view> value;
    if (option.value == OptionValue::kRequired) value = Value(attached, name);
    if (option.value == OptionValue::kOptional) value = attached;
    if (option.effect != nullptr && (option.value == OptionValue::kNone || value)) {
      std::string problem = option.effect(options_, value.value_or(u""), name);
      if (!problem.empty()) error_ = std::move(problem);
    }
    if (option.action != Action::kClassify) SetAction(option.action);
  }

  void Long(u16string_view body) {
    std::optional<u16string_view> attached;
    u16string_view name = body;
    if (const size_t eq = body.find(u'='); eq != u16string_view::npos) {
      name = body.substr(0, eq);
      attached = body.substr(eq + 1);
    }
    const CommandOption* option = FindLong(name);
    // A value is refused before the name is looked at: "--nope=1" takes no value either.
    if (attached && (option == nullptr || option->value == OptionValue::kNone)) {
      error_ = Join({"option --", PrintableName(name), " takes no value"});
    } else if (option == nullptr) {
      error_ = Join({"unknown option --", PrintableName(name)});
    } else {
      Apply(*option, Join({"--", option->longName}), attached);
    }
  }

  // A cluster such as "-rL" or "-j2" or "-f list": an option that takes a value takes the
  // rest of the cluster, or the next argument.
  void Shorts(u16string_view cluster) {
    for (size_t i = 0; i < cluster.size() && error_.empty(); ++i) {
      const char16_t c = cluster[i];
      const CommandOption* option = FindShort(c);
      if (option == nullptr) {
        error_ = Join({"unknown option -", PrintableName(u16string_view(&c, 1))});
        return;
      }
      const std::string name = Join({"-", std::string_view(&option->shortName, 1)});
      if (option->value == OptionValue::kNone) {
        Apply(*option, name, std::nullopt);
        continue;
      }
      const u16string_view rest = cluster.substr(i + 1);
      Apply(*option, name, rest.empty() ? std::nullopt : std::optional<u16string_view>(rest));
      return;
    }
  }

  void SetAction(Action action) {
    // --help wins over everything; otherwise two different actions are a mistake.
    if (options_.action == Action::kHelp || action == Action::kHelp) {
      options_.action = Action::kHelp;
    } else if (options_.action != Action::kClassify && options_.action != action) {
      error_ = Join({"options ", ActionOption(options_.action), " and ", ActionOption(action),
                     " cannot be combined"});
    } else {
      options_.action = action;
    }
  }

  void CheckCombination() {
    if (options_.action == Action::kHelp) return;
    if (options_.ruleText && options_.action != Action::kRules) {
      error_ = "option --text goes with --rules";
      return;
    }
    if (options_.action == Action::kCheckRules) {
      if (options_.paths.size() == 1 && !options_.checkFile) {
        options_.checkFile = std::move(options_.paths.front());
        options_.paths.clear();
      } else if (!options_.paths.empty()) {
        error_ = "option --check-rules checks one rule file";
      }
      return;
    }
    if (options_.action == Action::kRules || options_.action == Action::kVersion) {
      const std::string name = ActionOption(options_.action);
      if (!options_.paths.empty() || !options_.listFiles.empty()) {
        error_ = Join({"option ", name, " takes no paths"});
      } else if (options_.output == OutputMode::kJson) {
        error_ = Join({"options ", name, " and ", options_.outputOption, " cannot be combined"});
      }
      return;
    }
    if (options_.mimeType && options_.action == Action::kCompareRules) {
      error_ = Join({"options ", options_.mimeTypeOption, " and --compare-rules cannot be combined"});
      return;
    }
    if (options_.action != Action::kClassify && options_.action != Action::kCompareRules) return;
    const auto isStandardInput = [](const std::u16string& path) {
      return path == kStandardInputPath;
    };
    if (options_.paths.empty() && options_.listFiles.empty()) {
      error_ = "no paths given (try --help)";
    } else if (std::any_of(options_.paths.begin(), options_.paths.end(), isStandardInput) &&
               std::any_of(options_.listFiles.begin(), options_.listFiles.end(), isStandardInput)) {
      error_ = "standard input cannot be both a file (-) and a list (-f -)";
    } else if (options_.nulSeparated && options_.listFiles.empty()) {
      error_ = "option -0 needs -f LIST";
    }
  }

  const std::vector<std::u16string>& args_;
  size_t index_ = 0;
  Options options_;
  std::string error_;
};

}  // namespace

ParseOutcome ParseOptions(const std::vector<std::u16string>& args) { return Parser(args).Run(); }

}  // namespace kindprobe::cli
