#include "cli/kindprobe_app.h"

#include <kindprobe/version.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cli/scan/list_reader.h"
#include "cli/options.h"
#include "cli/scan/ordered_classifier.h"
#include "cli/scan/path_source.h"
#include "cli/scan/progress.h"
#include "cli/rules/rule_check.h"
#include "cli/rules/rule_listing.h"
#include "diagnosis/mime_type.h"
#include "diagnosis/printable_name.h"
#include "cli/text/text_join.h"
#include "cli/usage_text.h"
#include "diagnosis/rule_file.h"
#include "engine/rule_table.h"
#include "platform/command_line.h"
#include "platform/console.h"
#include "platform/diagnostic.h"
#include "platform/player_settings.h"
#include "platform/process.h"

namespace kindprobe::cli {
namespace {

constexpr size_t kOutputBufferSize = 64 * 1024;

void Complain(std::string_view message) {
  platform::WriteText(stderr, Join({"kindprobe: ", message, "\n"}));
}

// Writes to standard output. The first failure is said once and ends the run: nothing written
// after it could reach the reader either.
class Output {
 public:
  explicit Output(std::FILE* out) : out_(out) {}

  bool Write(std::string_view text) {
    if (failed_) return false;
    // Through the platform's writer: a Windows console is given UTF-16 text.
    platform::WriteText(out_, text);
    if (!std::ferror(out_)) return true;
    return Fail();
  }
  bool Flush() {
    if (failed_) return false;
    if (std::fflush(out_) == 0 && !std::ferror(out_)) return true;
    return Fail();
  }
  bool failed() const { return failed_; }

 private:
  bool Fail() {
    const int error = errno;
    failed_ = true;
    Complain(Join({"write error: ", std::strerror(error)}));
    return false;
  }

  std::FILE* out_;
  bool failed_ = false;
};

int Finish(Output& output, int status) { return output.Flush() ? status : kExitUsage; }

void ApplyStorePath(const Options& options) {
  std::optional<std::u16string> value = options.storePath;
  if (!value) value = platform::EnvironmentVariable(platform::kStorePathVariable);
  // An empty value names no directory: the same as none.
  if (value && value->empty()) value.reset();
  platform::SetStorePath(std::move(value));
}

int Classify(const Options& options, Output& output, ClassifierTables tables) {
  if (!platform::kStorePathFromRegistry) ApplyStorePath(options);
  // Standard output carries results only; the diagnostic line is for -v.
  platform::SetDiagnosticStream(stderr);
  platform::SetDiagnosticsDiscarded(!options.verbose);
  // Before any file or directory is opened: loading the table opens files of its own (the GBK
  // converter's modules), which a walk short of descriptors would deny it, and every answer
  // after that would be wrong.
  EnsureRuleTableLoaded(*tables.table);

  ListSequence lists(options.listFiles, options.nulSeparated);
  // Patterns the shell left for the program to expand; list entries are taken as written.
  const std::vector<std::u16string> paths =
      platform::ExpandPathArguments(options.paths, options.recursive);
  PathSource source(paths, &lists, PathSource::Settings{options.recursive, options.followLinks});
  const uint32_t cores = std::min(platform::ProcessorCount(), kMaxJobs);
  const uint32_t jobs = JobsWithinDescriptorLimit(
      options.jobs != 0 ? options.jobs : std::max(cores, kDefaultJobs), platform::OpenFileLimit());
  // The families name rules, so they are resolved once the table is there.
  std::optional<explain::FormatFamilies> families;
  if (options.explain) {
    families.emplace(explain::FormatFamilies::Shipped(*tables.table));
    tables.families = &*families;
  }
  const MimeTypes mimeTypes = MimeTypes::Shipped(*tables.table);
  ResultWriter writer(options.output, options.language, &mimeTypes, options.mimeType);
  OrderedClassifier classifier(jobs, writer, kDefaultRingSize, tables);
  // Without -j: one thread per core, more only while the storage makes them wait.
  if (options.jobs == 0) classifier.AdaptThreads(cores);
  Progress progress(stderr, options.recursive && platform::IsTerminal(stderr));

  OrderedClassifier::Io io;
  uint64_t handedOn = 0;
  io.next = [&](PathItem* item) { return source.Next(item); };
  io.nextIsReady = [&] { return source.NextIsReady(); };
  io.handOn = [&](const OrderedClassifier::Finished& finished) {
    handedOn = finished.done;
    progress.Clear();
    // Standard output is line-buffered on a terminal, so the two streams read in one order.
    if (!finished.failure.empty()) {
      Complain(Join({PrintableName(finished.path), ": ", finished.failure}));
    }
    if (!output.Write(finished.line)) return false;
    if (progress.Due()) {
      // The progress line goes to the terminal after the results printed before it.
      if (!output.Flush()) return false;
      progress.Update(finished.done);
    }
    return true;
  };
  io.flush = [&] { output.Flush(); };
  const OrderedClassifier::Outcome outcome = classifier.Run(io);
  progress.Clear();
  if (outcome.stopped || output.failed()) return kExitUsage;

  if (const size_t links = source.linksSkipped(); links > 0) {
    Complain(Join({"skipped ", std::to_string(links), " symbolic link", links == 1 ? "" : "s",
                   "; -L follows them"}));
  }
  if (source.repeatsSkipped() > 0) {
    Complain(Join({"skipped ", std::to_string(source.repeatsSkipped()),
                   " symbolic link(s) leading to a directory walked already"}));
  }
  if (tables.candidate != nullptr) {
    Complain(Join({std::to_string(handedOn - outcome.notExamined), " file(s) examined, ",
                   std::to_string(writer.changed()), " changed"}));
  }
  int status = outcome.notExamined == 0 ? kExitAllExamined : kExitSomeNotExamined;
  if (lists.tooLong() > 0) {
    Complain(Join({"skipped ", std::to_string(lists.tooLong()), " list entr",
                   lists.tooLong() == 1 ? "y" : "ies", " longer than ",
                   std::to_string(kMaxListEntryBytes), " bytes"}));
    status = kExitSomeNotExamined;
  }
  if (!lists.trouble().empty()) {
    Complain(lists.trouble());
    status = kExitUsage;
  }
  return Finish(output, status);
}

// Reads a rule file named on the command line, or says why it cannot be read.
std::optional<std::u16string> RuleFileText(const std::u16string& path) {
  std::u16string text;
  std::string why;
  if (ReadRuleFile(path, &text, &why)) return text;
  Complain(Join({"cannot read the rule file ", PrintableName(path), ": ", why}));
  return std::nullopt;
}

// --check-rules: the findings on standard output, a count on standard error.
int CheckRules(const Options& options, Output& output) {
  const std::optional<std::u16string>& file =
      options.checkFile ? options.checkFile : options.rulesFile;
  std::optional<std::u16string> text;
  if (file) {
    text = RuleFileText(*file);
  } else if (std::u16string embedded;
             ReadModuleRuleText(ProcessRuleTable().moduleInstance, &embedded)) {
    text = std::move(embedded);
  } else {
    Complain("cannot read the embedded rule table");
  }
  if (!text) return kExitUsage;
  const std::vector<RuleDiagnostic> diagnostics = CheckRuleText(*text);
  const std::string name = file ? PrintableName(*file) : kEmbeddedRuleTextName;
  output.Write(FormatRuleDiagnostics(name, diagnostics));
  const size_t errors = static_cast<size_t>(std::count_if(
      diagnostics.begin(), diagnostics.end(), [](const RuleDiagnostic& d) { return d.error; }));
  Complain(Join({name, ": ", std::to_string(diagnostics.size() - errors), " warning(s), ",
                 std::to_string(errors), " error(s)"}));
  return Finish(output, diagnostics.empty() ? kExitAllExamined : kExitSomeNotExamined);
}

}  // namespace

int RunKindprobe(const std::vector<std::u16string>& args) {
  platform::HoldClosedStandardStreams();
  std::FILE* out = platform::BinaryStandardOutput();
  static char outputBuffer[kOutputBufferSize];
  // Whole blocks into pipes and files; whole lines onto a terminal, as they come.
  std::setvbuf(out, outputBuffer, platform::IsTerminal(out) ? _IOLBF : _IOFBF, sizeof outputBuffer);
  Output output(out);

  const ParseOutcome parsed = ParseOptions(args);
  if (!parsed.options) {
    Complain(parsed.error);
    return kExitUsage;
  }
  const Options& options = *parsed.options;
  if (options.action == Action::kCheckRules) return CheckRules(options, output);
  // The table in use (the embedded one unless --rules-file names another), and the candidate
  // of a comparison.
  std::unique_ptr<RuleTable> rulesFileTable;
  std::unique_ptr<RuleTable> candidateTable;
  if (options.action != Action::kHelp && options.action != Action::kVersion) {
    for (auto [file, table] : {std::pair{&options.rulesFile, &rulesFileTable},
                               std::pair{&options.compareFile, &candidateTable}}) {
      if (!*file) continue;
      const auto text = RuleFileText(**file);
      if (!text) return kExitUsage;
      *table = RuleTableFromText(*text);
    }
  }
  RuleTable& tableInUse = rulesFileTable ? *rulesFileTable : ProcessRuleTable();
  switch (options.action) {
    case Action::kHelp:
      output.Write(UsageText());
      return Finish(output, kExitAllExamined);
    case Action::kVersion:
      output.Write(Join({"kindprobe ", KINDPROBE_VERSION_TEXT, "\n"}));
      return Finish(output, kExitAllExamined);
    case Action::kRules: {
      EnsureRuleTableLoaded(tableInUse);
      output.Write(options.ruleText ? RuleText(tableInUse) : ListRules(tableInUse));
      return Finish(output, kExitAllExamined);
    }
    case Action::kClassify:
    case Action::kCheckRules:
    case Action::kCompareRules:
      break;
  }
  return Classify(options, output, {&tableInUse, candidateTable.get()});
}

}  // namespace kindprobe::cli
