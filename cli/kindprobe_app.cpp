#include "cli/kindprobe_app.h"

#include <kindprobe/version.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "cli/list_reader.h"
#include "cli/options.h"
#include "cli/ordered_classifier.h"
#include "cli/path_source.h"
#include "cli/progress.h"
#include "cli/rule_listing.h"
#include "cli/text_join.h"
#include "engine/rule_table.h"
#include "platform/diagnostic.h"
#include "platform/player_settings.h"
#include "platform/process.h"
#include "platform/utf.h"

namespace kindprobe::cli {
namespace {

constexpr size_t kOutputBufferSize = 64 * 1024;

void Complain(std::string_view message) {
  const std::string line = Join({"kindprobe: ", message, "\n"});
  std::fwrite(line.data(), 1, line.size(), stderr);
}

// Writes to standard output. The first failure is said once and ends the run: nothing written
// after it could reach the reader either.
class Output {
 public:
  explicit Output(std::FILE* out) : out_(out) {}

  bool Write(std::string_view text) {
    if (failed_) return false;
    if (std::fwrite(text.data(), 1, text.size(), out_) == text.size()) return true;
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

#ifndef _WIN32
void ApplyStorePath(const Options& options) {
  std::optional<std::u16string> value = options.storePath;
  if (!value) value = platform::EnvironmentVariable(kStorePathVariable);
  // An empty value names no directory: the same as none.
  if (value && value->empty()) value.reset();
  platform::SetStorePath(std::move(value));
}
#endif

int Classify(const Options& options, Output& output) {
#ifndef _WIN32
  ApplyStorePath(options);
#endif
  // Standard output carries results only.
  platform::SetDiagnosticStream(stderr);
  // Before any file or directory is opened: loading the table opens files of its own (the GBK
  // converter's modules), which a walk short of descriptors would deny it, and every answer
  // after that would be wrong.
  EnsureRuleTableLoaded(ProcessRuleTable());

  ListSequence lists(options.listFiles, options.nulSeparated);
  PathSource source(options.paths, &lists,
                    PathSource::Settings{options.recursive, options.followLinks});
  const uint32_t jobs = JobsWithinDescriptorLimit(
      options.jobs != 0 ? options.jobs
                        : std::min(std::max(platform::ProcessorCount(), kDefaultJobs), kMaxJobs),
      platform::OpenFileLimit());
  OrderedClassifier classifier(jobs, options.output);
  Progress progress(stderr, options.recursive && platform::IsTerminal(stderr));

  OrderedClassifier::Io io;
  io.next = [&](PathItem* item) { return source.Next(item); };
  io.nextIsReady = [&] { return source.NextIsReady(); };
  io.handOn = [&](const OrderedClassifier::Finished& finished) {
    progress.Clear();
    // Standard output is line-buffered on a terminal, so the two streams read in one order.
    if (!finished.failure.empty()) {
      Complain(Join({platform::Utf16ToUtf8(finished.path), ": ", finished.failure}));
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

  if (source.repeatsSkipped() > 0) {
    Complain(Join({"skipped ", std::to_string(source.repeatsSkipped()),
                   " symbolic link(s) leading to a directory walked already"}));
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
  switch (options.action) {
    case Action::kHelp:
      output.Write(UsageText());
      return Finish(output, kExitAllExamined);
    case Action::kVersion:
      output.Write(Join({"kindprobe ", KINDPROBE_VERSION_TEXT, "\n"}));
      return Finish(output, kExitAllExamined);
    case Action::kRules: {
      RuleTable& table = ProcessRuleTable();
      EnsureRuleTableLoaded(table);
      output.Write(ListRules(table));
      return Finish(output, kExitAllExamined);
    }
    case Action::kClassify:
      break;
  }
  return Classify(options, output);
}

}  // namespace kindprobe::cli
