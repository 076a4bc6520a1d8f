// The command line of kindprobe, parsed into what the run needs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diagnosis/language.h"

namespace kindprobe::cli {

enum class OutputMode { kText, kBrief, kJson };
enum class Action { kClassify, kRules, kCheckRules, kCompareRules, kVersion, kHelp };
// The path argument that names standard input as the file to classify.
inline constexpr std::u16string_view kStandardInputPath = u"-";

// The largest -j value accepted: more threads than this only adds contention.
inline constexpr uint32_t kMaxJobs = 256;
// The most threads when -j is not given (or one per core, if there are more cores). A run
// starts with one per core and uses more only while reads wait on the storage, which mostly
// serves many at once (SSD, NVMe, network and virtual disks); see ReadConcurrency.
inline constexpr uint32_t kDefaultJobs = 64;

struct Options {
  Action action = Action::kClassify;
  OutputMode output = OutputMode::kText;
  // The option that chose `output`, as given ("-b", "--json"): named when another conflicts.
  std::string outputOption;
  // -i / --mime-type: the MIME type in place of the description; the option as given.
  bool mimeType = false;
  std::string mimeTypeOption;
  // --rules --text: the table as rule text that --rules-file reads back.
  bool ruleText = false;
  std::vector<std::u16string> paths;
  // Every -f LIST, read in this order; "-" is standard input.
  std::vector<std::u16string> listFiles;
  bool nulSeparated = false;
  bool recursive = false;
  bool followLinks = false;
  // 0: the default, one per core and up to kDefaultJobs while the storage makes reads wait.
  uint32_t jobs = 0;
  // An empty value, like an absent one, means no setting.
  std::optional<std::u16string> storePath;
  // --rules-file FILE: the table in use instead of the embedded one.
  std::optional<std::u16string> rulesFile;
  // --check-rules [FILE]: the table to check; none: the table in use.
  std::optional<std::u16string> checkFile;
  // --compare-rules FILE: the candidate table compared with the one in use.
  std::optional<std::u16string> compareFile;
  // -v: the cache-directory diagnostic line on standard error.
  bool verbose = false;
  // --explain: the reasons a file may not play, after each result.
  bool explain = false;
  Language language = Language::kChinese;
};

struct ParseOutcome {
  std::optional<Options> options;
  // One line naming the problem when `options` is empty.
  std::string error;
};

// `args` excludes the program name.
ParseOutcome ParseOptions(const std::vector<std::u16string>& args);

}  // namespace kindprobe::cli
