#include "cli/kindprobe_app.h"

#include <kindprobe/version.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "cli/text_join.h"
#include "cli/file_system.h"
#include "cli/list_reader.h"
#include "cli/options.h"
#include "cli/ordered_classifier.h"
#include "cli/path_source.h"
#include "cli/progress.h"
#include "cli/rule_listing.h"
#include "engine/rule_table.h"
#include "platform/command_line.h"
#include "platform/console.h"
#include "platform/diagnostic.h"
#include "platform/player_settings.h"
#include "platform/utf.h"

namespace kindprobe::cli {
namespace {

constexpr size_t kOutputBufferSize = 64 * 1024;

void Complain(const std::string& message) {
  platform::WriteText(stderr, Join({"kindprobe: ", message, "\n"}));
}

void Write(std::FILE* out, const std::string& text) { platform::WriteText(out, text); }

// Output that could not be written is a failure of the run, not a quiet success.
int Finish(std::FILE* out, int status) {
  if (std::fflush(out) != 0 || std::ferror(out)) {
    Complain("cannot write the results");
    return status == kExitAllExamined ? kExitSomeNotExamined : status;
  }
  return status;
}

#ifndef _WIN32
void ApplyStorePath(const Options& options) {
  std::optional<std::u16string> value = options.storePath;
  if (!value) value = EnvironmentVariable(kStorePathVariable);
  platform::SetStorePath(std::move(value));
}
#endif

int Classify(const Options& options, std::FILE* out) {
#ifndef _WIN32
  ApplyStorePath(options);
#endif
  // Standard output carries results only.
  platform::SetDiagnosticStream(stderr);

  FilePtr listFile;
  std::optional<ListReader> list;
  if (options.listFile) {
    std::FILE* stream = nullptr;
    if (*options.listFile == u"-") {
      stream = BinaryStandardInput();
    } else {
      listFile = OpenListFile(*options.listFile);
      stream = listFile.get();
    }
    if (stream == nullptr) {
      Complain(Join({"cannot open the list ", platform::Utf16ToUtf8(*options.listFile)}));
      return kExitUsage;
    }
    list.emplace(stream, options.nulSeparated);
  }

  // Patterns the shell left for the program to expand; list entries are taken as written.
  const std::vector<std::u16string> paths =
      platform::ExpandPathArguments(options.paths, options.recursive);
  PathSource source(paths, list ? &*list : nullptr,
                    PathSource::Settings{options.recursive, options.followLinks});
  const uint32_t jobs = options.jobs != 0 ? options.jobs : std::min(ProcessorCount(), kMaxJobs);
  OrderedClassifier classifier(jobs, options.output);
  Progress progress(stderr, options.recursive && IsTerminal(stderr));

  OrderedClassifier::Io io;
  io.next = [&](std::u16string* path) { return source.Next(path); };
  io.nextIsReady = [&] { return source.NextIsReady(); };
  io.handOn = [&](std::string_view line, uint64_t done) {
    progress.Clear();
    platform::WriteText(out, line);
    if (progress.Due()) {
      // The progress line goes to the terminal after the results printed before it.
      std::fflush(out);
      progress.Update(done);
    }
  };
  io.flush = [&] { std::fflush(out); };
  const size_t notExamined = classifier.Run(io);
  progress.Clear();

  if (source.loopsSkipped() > 0) {
    Complain(Join({"skipped ", std::to_string(source.loopsSkipped()),
                   " symbolic link(s) leading back into a directory being walked"}));
  }
  int status = notExamined == 0 ? kExitAllExamined : kExitSomeNotExamined;
  if (list && list->failed()) {
    Complain(Join({"cannot read the whole list ", platform::Utf16ToUtf8(*options.listFile)}));
    status = kExitSomeNotExamined;
  }
  return Finish(out, status);
}

}  // namespace

int RunKindprobe(const std::vector<std::u16string>& args) {
  std::FILE* out = BinaryStandardOutput();
  static char outputBuffer[kOutputBufferSize];
  // Whole blocks into pipes and files; whole lines onto a terminal, as they come.
  std::setvbuf(out, outputBuffer, IsTerminal(out) ? _IOLBF : _IOFBF, sizeof outputBuffer);

  const ParseOutcome parsed = ParseOptions(args);
  if (!parsed.options) {
    Complain(parsed.error);
    return kExitUsage;
  }
  const Options& options = *parsed.options;
  switch (options.action) {
    case Action::kHelp:
      Write(out, UsageText());
      return Finish(out, kExitAllExamined);
    case Action::kVersion:
      Write(out, Join({"kindprobe ", KINDPROBE_VERSION_TEXT, "\n"}));
      return Finish(out, kExitAllExamined);
    case Action::kRules: {
      RuleTable& table = ProcessRuleTable();
      EnsureRuleTableLoaded(table);
      Write(out, ListRules(table));
      return Finish(out, kExitAllExamined);
    }
    case Action::kClassify:
      break;
  }
  return Classify(options, out);
}

}  // namespace kindprobe::cli
