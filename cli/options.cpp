#include "cli/options.h"

#include <string>
#include <string_view>

#include "cli/text_join.h"
#include "platform/command_line.h"
#include "platform/player_settings.h"
#include "platform/utf.h"

namespace kindprobe::cli {
namespace {

using std::u16string_view;

std::string Quote(u16string_view text) { return Join({"'", platform::Utf16ToUtf8(text), "'"}); }

std::optional<uint32_t> ParseJobs(u16string_view text) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  uint32_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + static_cast<uint32_t>(c - u'0');
  }
  if (value == 0 || value > kMaxJobs) return std::nullopt;
  return value;
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

  void Jobs(std::optional<u16string_view> attached, std::string_view name) {
    const auto value = Value(attached, name);
    if (!value) return;
    const auto jobs = ParseJobs(*value);
    if (!jobs) {
      error_ = Join({"option ", name, " needs a number of threads from 1 to ",
                     std::to_string(kMaxJobs), ", not ", Quote(*value)});
      return;
    }
    options_.jobs = *jobs;
  }

  void ListFile(std::optional<u16string_view> attached, std::string_view name) {
    const auto value = Value(attached, name);
    if (!value) return;
    if (value->empty()) {
      error_ = Join({"option ", name, " needs a file name"});
      return;
    }
    options_.listFiles.emplace_back(*value);
  }

  void RuleFile(std::optional<u16string_view> attached, std::string_view name,
                std::optional<std::u16string>* file) {
    const auto value = Value(attached, name);
    if (!value) return;
    if (value->empty()) {
      error_ = Join({"option ", name, " needs a file name"});
      return;
    }
    *file = std::u16string(*value);
  }

  void StorePath(std::optional<u16string_view> attached) {
    if (platform::kStorePathFromRegistry) {
      error_ = "option --store-path is not available on Windows, where the registry is read";
      return;
    }
    const auto value = Value(attached, "--store-path");
    if (value) options_.storePath = std::u16string(*value);
  }

  void Lang(std::optional<u16string_view> attached) {
    const auto value = Value(attached, "--lang");
    if (!value) return;
    if (*value == u"zh") {
      options_.language = Language::kChinese;
    } else if (*value == u"en") {
      options_.language = Language::kEnglish;
    } else {
      error_ = "--lang takes zh or en";
    }
  }

  void Long(u16string_view body) {
    std::optional<u16string_view> attached;
    u16string_view name = body;
    if (const size_t eq = body.find(u'='); eq != u16string_view::npos) {
      name = body.substr(0, eq);
      attached = body.substr(eq + 1);
    }
    const bool takesValue = name == u"jobs" || name == u"files-from" || name == u"store-path" ||
                            name == u"lang" || name == u"rules-file" ||
                            name == u"compare-rules" || name == u"check-rules";
    if (attached && !takesValue) {
      error_ = Join({"option --", platform::Utf16ToUtf8(name), " takes no value"});
      return;
    }
    if (name == u"brief") {
      options_.output = OutputMode::kBrief;
    } else if (name == u"json") {
      options_.output = OutputMode::kJson;
    } else if (name == u"recursive") {
      options_.recursive = true;
    } else if (name == u"dereference") {
      options_.followLinks = true;
    } else if (name == u"null") {
      options_.nulSeparated = true;
    } else if (name == u"jobs") {
      Jobs(attached, "--jobs");
    } else if (name == u"files-from") {
      ListFile(attached, "--files-from");
    } else if (name == u"store-path") {
      StorePath(attached);
    } else if (name == u"explain") {
      options_.explain = true;
    } else if (name == u"lang") {
      Lang(attached);
    } else if (name == u"verbose") {
      options_.verbose = true;
    } else if (name == u"rules") {
      SetAction(Action::kRules);
    } else if (name == u"rules-file") {
      RuleFile(attached, "--rules-file", &options_.rulesFile);
    } else if (name == u"check-rules") {
      // The file is optional: attached, or the one path given.
      if (attached) RuleFile(attached, "--check-rules", &options_.checkFile);
      SetAction(Action::kCheckRules);
    } else if (name == u"compare-rules") {
      RuleFile(attached, "--compare-rules", &options_.compareFile);
      SetAction(Action::kCompareRules);
    } else if (name == u"version") {
      SetAction(Action::kVersion);
    } else if (name == u"help") {
      SetAction(Action::kHelp);
    } else {
      error_ = Join({"unknown option --", platform::Utf16ToUtf8(name)});
    }
  }

  // A cluster such as "-rL" or "-j2" or "-f list".
  void Shorts(u16string_view cluster) {
    for (size_t i = 0; i < cluster.size() && error_.empty(); ++i) {
      const char16_t c = cluster[i];
      const u16string_view rest = cluster.substr(i + 1);
      const std::optional<u16string_view> attached =
          rest.empty() ? std::nullopt : std::optional<u16string_view>(rest);
      switch (c) {
        case u'b': options_.output = OutputMode::kBrief; break;
        case u'r': options_.recursive = true; break;
        case u'L': options_.followLinks = true; break;
        case u'0': options_.nulSeparated = true; break;
        case u'h': SetAction(Action::kHelp); break;
        case u'v': options_.verbose = true; break;
        case u'j': Jobs(attached, "-j"); return;
        case u'f': ListFile(attached, "-f"); return;
        default:
          error_ = Join({"unknown option -", platform::Utf16ToUtf8(u16string_view(&c, 1))});
          return;
      }
    }
  }

  static std::string_view ActionOption(Action action) {
    switch (action) {
      case Action::kRules:
        return "--rules";
      case Action::kCheckRules:
        return "--check-rules";
      case Action::kCompareRules:
        return "--compare-rules";
      case Action::kVersion:
        return "--version";
      default:
        return "";
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
      const char* name = options_.action == Action::kRules ? "--rules" : "--version";
      if (!options_.paths.empty() || !options_.listFiles.empty()) {
        error_ = Join({"option ", name, " takes no paths"});
      } else if (options_.output == OutputMode::kJson) {
        error_ = Join({"option ", name, " cannot be combined with --json"});
      }
      return;
    }
    if (options_.action != Action::kClassify && options_.action != Action::kCompareRules) return;
    if (options_.paths.empty() && options_.listFiles.empty()) {
      error_ = "no paths given (try --help)";
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

const char* UsageText() {
  static_assert(kMaxJobs == 256 && kDefaultJobs == 64, "the help text states -j's numbers");
  // Where the registry holds the player's setting, --store-path does not exist.
  static const std::string text = Join({
      "Usage: kindprobe [OPTIONS] PATH...\n"
      "Tells what a file really is: one line per path, \"PATH: DESCRIPTION (TypeID N)\".\n"
      "\n"
      "  -b, --brief            leave out the path\n"
      "      --json             JSON Lines: path, typeId, typeName, description, rule,\n"
      "                         and \"error\" (why) for a path that could not be examined;\n"
      "                         name bytes that are not UTF-8 appear as \\udcXX escapes\n"
      "  -f, --files-from LIST  read paths from LIST, one per line ('-': standard input);\n"
      "                         may be given again: the lists are read in order\n"
      "  -0, --null             paths in LIST are separated by NUL, not by line ends\n"
      "  -r, --recursive        walk directories (in name order)\n"
      "  -L, --dereference      follow symbolic links met while walking (without it\n"
      "                         they are skipped)\n"
      "  -j, --jobs N           classify on N threads, 1 to 256: reads in flight at once\n"
      "                         (default: one per core, and up to 64 while the storage\n"
      "                         makes reads wait and serves more at once; fewer when the\n"
      "                         limit on open files is low)\n",
      platform::kStorePathFromRegistry
          ? ""
          : "      --store-path DIR   the player's StorePath setting (default: the environment\n"
            "                         variable KINDPROBE_STORE_PATH; neither: no setting)\n",
      "      --explain          after each result, the reasons it may not play:\n"
      "                           truncated      the container says the file is cut short\n"
      "                           renamed        the extension is another format's\n"
      "                           no-media-data  headers without audio or video data\n"
      "      --lang zh|en       language of descriptions and explanations (default: zh)\n"
      "  -v, --verbose          also print the cache-directory diagnostic line on\n"
      "                         standard error\n"
      "      --rules            print the rule table and exit\n"
      "      --rules-file FILE  use the rule table in FILE, not the embedded one (GBK;\n"
      "                         UTF-8 after a byte-order mark); --rules lists it\n"
      "      --check-rules [FILE]\n"
      "                         check a rule table (default: the one in use), printing\n"
      "                         FILE:LINE: warning: ... for what the parser cuts, drops\n"
      "                         or refuses and what can never match; exit 0: nothing\n"
      "                         found, 1: findings, 2: FILE cannot be read\n"
      "      --compare-rules FILE\n"
      "                         classify PATHs with the table in use and with FILE;\n"
      "                         print only \"PATH: OLD (TypeID N) -> NEW (TypeID M)\"\n"
      "      --version          print the version and exit\n"
      "  -h, --help             print this help and exit\n"
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
      "then copy it to resources/rules.txt and rebuild.\n"});
  return text.c_str();
}

}  // namespace kindprobe::cli
