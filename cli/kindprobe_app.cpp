#include "cli/kindprobe_app.h"

#include <kindprobe/version.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cli/file_system.h"
#include "cli/list_reader.h"
#include "cli/options.h"
#include "cli/ordered_classifier.h"
#include "cli/path_source.h"
#include "cli/progress.h"
#include "cli/rule_check.h"
#include "cli/rule_file.h"
#include "cli/rule_listing.h"
#include "cli/text_join.h"
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
  if (!value) value = EnvironmentVariable(platform::kStorePathVariable);
  platform::SetStorePath(std::move(value));
}
#endif

int Classify(const Options& options, std::FILE* out, ClassifierTables tables) {
#ifndef _WIN32
  ApplyStorePath(options);
#endif
  // Standard output carries results only; the diagnostic line is for -v.
  platform::SetDiagnosticStream(stderr);
  platform::SetDiagnosticsDiscarded(!options.verbose);

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
  OrderedClassifier classifier(jobs, options.output, kDefaultRingSize, tables);
  classifier.SetLanguage(options.language);
  if (options.explain) classifier.Explain(options.language);
  Progress progress(stderr, options.recursive && IsTerminal(stderr));

  OrderedClassifier::Io io;
  uint64_t handedOn = 0;
  io.next = [&](std::u16string* path) { return source.Next(path); };
  io.nextIsReady = [&] { return source.NextIsReady(); };
  io.handOn = [&](std::string_view line, uint64_t done) {
    handedOn = done;
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
  if (tables.candidate != nullptr) {
    Complain(Join({std::to_string(handedOn - notExamined), " file(s) examined, ",
                   std::to_string(classifier.changed()), " changed"}));
  }
  int status = notExamined == 0 ? kExitAllExamined : kExitSomeNotExamined;
  if (list && list->failed()) {
    Complain(Join({"cannot read the whole list ", platform::Utf16ToUtf8(*options.listFile)}));
    status = kExitSomeNotExamined;
  }
  return Finish(out, status);
}

// Reads a rule file named on the command line, or says why it cannot be read.
std::optional<std::u16string> RuleFileText(const std::u16string& path) {
  std::u16string text;
  std::string why;
  if (ReadRuleFile(path, &text, &why)) return text;
  Complain(Join({"cannot read the rule file ", platform::Utf16ToUtf8(path), ": ", why}));
  return std::nullopt;
}

// --check-rules: the findings on standard output, a count on standard error.
int CheckRules(const Options& options, std::FILE* out) {
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
  const std::string name = file ? platform::Utf16ToUtf8(*file) : kEmbeddedRuleTextName;
  Write(out, FormatRuleDiagnostics(name, diagnostics));
  const size_t errors = static_cast<size_t>(std::count_if(
      diagnostics.begin(), diagnostics.end(), [](const RuleDiagnostic& d) { return d.error; }));
  Complain(Join({name, ": ", std::to_string(diagnostics.size() - errors), " warning(s), ",
                 std::to_string(errors), " error(s)"}));
  return Finish(out, diagnostics.empty() ? kExitAllExamined : kExitSomeNotExamined);
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
  if (options.action == Action::kCheckRules) return CheckRules(options, out);
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
      Write(out, UsageText());
      return Finish(out, kExitAllExamined);
    case Action::kVersion:
      Write(out, Join({"kindprobe ", KINDPROBE_VERSION_TEXT, "\n"}));
      return Finish(out, kExitAllExamined);
    case Action::kRules: {
      EnsureRuleTableLoaded(tableInUse);
      Write(out, ListRules(tableInUse));
      return Finish(out, kExitAllExamined);
    }
    case Action::kClassify:
    case Action::kCheckRules:
    case Action::kCompareRules:
      break;
  }
  return Classify(options, out, {&tableInUse, candidateTable.get()});
}

}  // namespace kindprobe::cli
