#include "cli/option_table.h"

#include <cstdint>
#include <optional>

#include "diagnosis/printable_name.h"
#include "cli/text/text_join.h"
#include "platform/player_settings.h"

namespace kindprobe::cli {
namespace {

using std::string;
using std::string_view;
using std::u16string_view;

string Quote(u16string_view text) { return Join({"'", PrintableName(text), "'"}); }

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

template <bool Options::*kFlag>
string Set(Options& options, u16string_view, string_view) {
  options.*kFlag = true;
  return {};
}

string Conflict(string_view first, string_view second) {
  return Join({"options ", first, " and ", second, " cannot be combined"});
}

// A second output form that differs from the first is a mistake, not a choice: the user asked
// for both and would see only one.
template <OutputMode kMode>
string Output(Options& options, u16string_view, string_view name) {
  if (options.output != OutputMode::kText && options.output != kMode) {
    return Conflict(options.outputOption, name);
  }
  if (kMode == OutputMode::kJson && options.mimeType) return Conflict(options.mimeTypeOption, name);
  options.output = kMode;
  options.outputOption = name;
  return {};
}

// JSON carries the type in its "mime" key already.
string MimeType(Options& options, u16string_view, string_view name) {
  if (options.output == OutputMode::kJson) return Conflict(options.outputOption, name);
  options.mimeType = true;
  options.mimeTypeOption = name;
  return {};
}

template <std::optional<std::u16string> Options::*kFile>
string RuleFile(Options& options, u16string_view value, string_view name) {
  if (value.empty()) return Join({"option ", name, " needs a file name"});
  options.*kFile = std::u16string(value);
  return {};
}

string ListFile(Options& options, u16string_view value, string_view name) {
  if (value.empty()) return Join({"option ", name, " needs a file name"});
  options.listFiles.emplace_back(value);
  return {};
}

string Jobs(Options& options, u16string_view value, string_view name) {
  const auto jobs = ParseJobs(value);
  if (!jobs) {
    return Join({"option ", name, " needs a number of threads from 1 to ", std::to_string(kMaxJobs),
                 ", not ", Quote(value)});
  }
  options.jobs = *jobs;
  return {};
}

string StorePath(Options& options, u16string_view value, string_view) {
  options.storePath = std::u16string(value);
  return {};
}

string Lang(Options& options, u16string_view value, string_view) {
  if (value == u"zh") {
    options.language = Language::kChinese;
  } else if (value == u"en") {
    options.language = Language::kEnglish;
  } else {
    return "--lang takes zh or en";
  }
  return {};
}

static_assert(kMaxJobs == 256 && kDefaultJobs == 64, "the help of --jobs states its numbers");

constexpr CommandOption kOptions[] = {
    {.longName = "brief",
     .shortName = 'b',
     .effect = Output<OutputMode::kBrief>,
     .help = "leave out the path"},
    {.longName = "mime-type",
     .shortName = 'i',
     .effect = MimeType,
     .help = "print the MIME type (video/x-msvideo, text/plain, ...)\n"
             "in place of the description"},
    {.longName = "json",
     .effect = Output<OutputMode::kJson>,
     .help = "JSON Lines: path, typeId, typeName, description, mime, rule,\n"
             "and \"error\" (why) for a path that could not be examined;\n"
             "name bytes that are not UTF-8 appear as \\udcXX escapes"},
    {.longName = "files-from",
     .shortName = 'f',
     .value = OptionValue::kRequired,
     .valueName = "LIST",
     .effect = ListFile,
     .help = "read paths from LIST, one per line ('-': standard input);\n"
             "may be given again: the lists are read in order"},
    {.longName = "null",
     .shortName = '0',
     .effect = Set<&Options::nulSeparated>,
     .help = "paths in LIST are separated by NUL, not by line ends"},
    {.longName = "recursive",
     .shortName = 'r',
     .effect = Set<&Options::recursive>,
     .help = "walk directories (in name order)"},
    {.longName = "dereference",
     .shortName = 'L',
     .effect = Set<&Options::followLinks>,
     .help = "follow symbolic links met while walking (without it\n"
             "they are skipped)"},
    {.longName = "jobs",
     .shortName = 'j',
     .value = OptionValue::kRequired,
     .valueName = "N",
     .effect = Jobs,
     .help = "classify on N threads, 1 to 256: reads in flight at once\n"
             "(default: one per core, and up to 64 while the storage\n"
             "makes reads wait and serves more at once; fewer when the\n"
             "limit on open files is low)"},
    {.longName = "store-path",
     .value = OptionValue::kRequired,
     .valueName = "DIR",
     .effect = StorePath,
     .absentBecause = platform::kStorePathFromRegistry
                          ? "is not available on Windows, where the registry is read"
                          : "",
     .help = "the player's StorePath setting (default: the environment\n"
             "variable KINDPROBE_STORE_PATH; neither: no setting)"},
    {.longName = "explain",
     .effect = Set<&Options::explain>,
     .help = "after each result, the reasons it may not play:\n"
             "  truncated      the container says the file is cut short\n"
             "  renamed        the extension is another format's\n"
             "  no-media-data  headers without audio or video data\n"
             "  damaged        the header's size field is impossible\n"
             "  encrypted      the content is protected (the scheme named)\n"
             "  not-media      a media name, but text, HTML, JSON or XML inside\n"
             "  zero-filled    the start and the end are all zero bytes\n"
             "and a line \"streams:\" with each stream's kind, codec and tag\n"
             "(with --json, the array \"streams\")"},
    {.longName = "lang",
     .value = OptionValue::kRequired,
     .valueName = "zh|en",
     .effect = Lang,
     .help = "language of descriptions and explanations (default: zh)"},
    {.longName = "verbose",
     .shortName = 'v',
     .effect = Set<&Options::verbose>,
     .help = "also print the cache-directory diagnostic line on\n"
             "standard error"},
    {.longName = "rules", .action = Action::kRules, .help = "print the rule table and exit"},
    {.longName = "text",
     .effect = Set<&Options::ruleText>,
     .help = "with --rules: print the table as rule text (UTF-8 with a\n"
             "byte-order mark, CR LF) that --rules-file reads back"},
    {.longName = "rules-file",
     .value = OptionValue::kRequired,
     .valueName = "FILE",
     .effect = RuleFile<&Options::rulesFile>,
     .help = "use the rule table in FILE, not the embedded one (GBK;\n"
             "UTF-8 after a byte-order mark); --rules lists it"},
    // Without an attached file, the one path given is the file (or, with none, the table in use).
    {.longName = "check-rules",
     .value = OptionValue::kOptional,
     .valueName = "FILE",
     .effect = RuleFile<&Options::checkFile>,
     .action = Action::kCheckRules,
     .help = "check a rule table (default: the one in use), printing\n"
             "FILE:LINE: warning: ... for what the parser cuts, drops\n"
             "or refuses and what can never match; exit 0: nothing\n"
             "found, 1: findings, 2: FILE cannot be read"},
    {.longName = "compare-rules",
     .value = OptionValue::kRequired,
     .valueName = "FILE",
     .effect = RuleFile<&Options::compareFile>,
     .action = Action::kCompareRules,
     .help = "classify PATHs with the table in use and with FILE;\n"
             "print only \"PATH: OLD (TypeID N) -> NEW (TypeID M)\""},
    {.longName = "version", .action = Action::kVersion, .help = "print the version and exit"},
    {.longName = "help",
     .shortName = 'h',
     .action = Action::kHelp,
     .help = "print this help and exit"},
};

}  // namespace

std::span<const CommandOption> CommandOptions() { return kOptions; }

}  // namespace kindprobe::cli
