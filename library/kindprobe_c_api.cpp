// The C interface over the engine: byte paths in, UTF-8 texts out, no exception across the
// boundary, and a checker refused to a second thread rather than shared.
#include <kindprobe/version.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "diagnosis/rule_file.h"
#include "engine/file_classifier.h"
#include "kindprobe/kindprobe.h"
#include "library/busy_flag.h"
#include "library/checker.h"
#include "platform/diagnostic.h"
#include "platform/player_settings.h"
#include "platform/sync.h"
#include "platform/utf.h"

namespace {

using kindprobe::library::BusyFlag;

static_assert(kindprobe::TypeIDUnknown == KINDPROBE_TYPE_UNKNOWN &&
              kindprobe::TypeIDPlayerCache == KINDPROBE_TYPE_PLAYER_CACHE &&
              kindprobe::TypeIDNonMedia == KINDPROBE_TYPE_NON_MEDIA &&
              kindprobe::TypeIDZeroByte == KINDPROBE_TYPE_ZERO_BYTE &&
              kindprobe::TypeIDInvalidMedia == KINDPROBE_TYPE_INVALID_MEDIA);

// The settings are process-wide and read without a lock by checks, so they are fixed once,
// before the first checker exists, never while one may be checking.
// A plain mutex and flag rather than std::call_once, which MinGW's win32 thread model lacks.
void SetUpProcessOnce() {
  static constinit kindprobe::platform::Mutex mutex;
  static constinit bool done = false;
  const kindprobe::platform::LockGuard lock(mutex);
  if (done) return;
  done = true;
  // A library must not write into its host program's output.
  kindprobe::platform::SetDiagnosticsDiscarded(true);
  // On Windows every check reads the player's own registry value, as the component does.
  if constexpr (!kindprobe::platform::kStorePathFromRegistry) {
    const char* store = std::getenv(kindprobe::platform::kStorePathVariable);
    if (store != nullptr)
      kindprobe::platform::SetStorePath(kindprobe::platform::Utf8ToUtf16(store));
  }
}

// The report before any check: an unexamined Unknown.
void ResetReport(kindprobe_checker& checker) {
  FillReport(checker.report, kindprobe::CheckResult{}, nullptr, {}, checker.language);
}

// Checks with `table` (null: the process's own) from now on.
void UseTable(kindprobe_checker& checker, std::unique_ptr<kindprobe::RuleTable> table) {
  checker.families.reset();
  checker.classifier.reset();
  checker.ownTable = std::move(table);
  checker.classifier.emplace(checker.ownTable ? *checker.ownTable : kindprobe::ProcessRuleTable());
  ResetReport(checker);
}

// Runs `call` while holding the checker, turning exceptions into error numbers.
template <typename Call>
int Guarded(kindprobe_checker* checker, Call&& call) {
  if (checker == nullptr) return -EINVAL;
  const BusyFlag flag(checker->busy);
  if (!flag.held()) return -EBUSY;
  try {
    return call(*checker);
  } catch (const std::bad_alloc&) {
    return -ENOMEM;
  } catch (...) {
    return -EIO;
  }
}

// Classifies `file` (not open: not examined, for the reason in `status`) under `name`, and
// fills the report and `result` (may be null).
int Check(kindprobe_checker& checker, const std::u16string& name, kindprobe::platform::File file,
          const kindprobe::platform::OpenStatus& status, kindprobe_result* result) {
  kindprobe::FileClassifier& classifier = *checker.classifier;
  const kindprobe::explain::Explanation* explanation = nullptr;
  if (checker.explain) {
    if (!checker.families) {
      kindprobe::RuleTable& table =
          checker.ownTable ? *checker.ownTable : kindprobe::ProcessRuleTable();
      kindprobe::EnsureRuleTableLoaded(table);
      checker.families.emplace(kindprobe::explain::FormatFamilies::Shipped(table));
    }
    kindprobe::ReadFile read;
    classifier.CheckOpenFile(name.c_str(), std::move(file), &read);
    checker.explanation = kindprobe::explain::ExplainFile(*checker.families, name.c_str(), read,
                                                          classifier.result().ruleIndex);
    explanation = &checker.explanation;
  } else {
    classifier.CheckOpenFile(name.c_str(), std::move(file));
  }
  FillReport(checker.report, classifier.result(), explanation, status, checker.language);
  if (result != nullptr) {
    const kindprobe::library::Report& report = checker.report;
    result->type_id = report.typeId;
    result->type_name = kindprobe::TypeName(report.typeId);
    result->description = report.description.c_str();
    result->rule = report.rule;
    result->examined = report.examined ? 1 : 0;
  }
  return 0;
}

// Classifies the file at the path `makePath` gives, made inside the guard so that running out
// of memory converting it is an error number too.
template <typename MakePath>
int CheckPath(kindprobe_checker* checker, MakePath&& makePath, kindprobe_result* result) {
  return Guarded(checker, [&](kindprobe_checker& held) {
    const std::u16string path = makePath();
    kindprobe::platform::OpenStatus status;
    kindprobe::platform::File file = kindprobe::platform::File::OpenForReading(path.c_str(), &status);
    return Check(held, path, std::move(file), status, result);
  });
}

// Uses the rule file at the path `makePath` gives (none: the process's own table) from now on.
template <typename MakePath>
int SetRulesFile(kindprobe_checker* checker, MakePath&& makePath) {
  return Guarded(checker, [&](kindprobe_checker& held) {
    const std::optional<std::u16string> path = makePath();
    if (!path) {
      UseTable(held, nullptr);
      return 0;
    }
    std::u16string text;
    std::string why;
    int number = 0;
    if (!kindprobe::ReadRuleFile(*path, &text, &why, &number)) return -(number != 0 ? number : EIO);
    UseTable(held, kindprobe::RuleTableFromText(text));
    return 0;
  });
}

#ifdef _WIN32
// wchar_t is UTF-16 on Windows: the same code units, another type.
std::u16string WidePath(const wchar_t* path) {
  return std::u16string(reinterpret_cast<const char16_t*>(path));
}
#endif

}  // namespace

extern "C" {

kindprobe_checker* kindprobe_checker_new(void) {
  try {
    SetUpProcessOnce();
    auto checker = std::make_unique<kindprobe_checker>();
    UseTable(*checker, nullptr);
    return checker.release();
  } catch (...) {
    return nullptr;
  }
}

void kindprobe_checker_free(kindprobe_checker* checker) {
  std::unique_ptr<kindprobe_checker> owned(checker);
}

int kindprobe_check(kindprobe_checker* checker, const char* path, kindprobe_result* result) {
  if (path == nullptr || result == nullptr) return -EINVAL;
  return CheckPath(checker, [path] { return kindprobe::platform::Utf8ToUtf16(path); }, result);
}

int kindprobe_check_fd(kindprobe_checker* checker, int fd, const char* name,
                       kindprobe_result* result) {
#ifdef _WIN32
  // A C runtime descriptor belongs to the runtime that opened it, which need not be ours.
  static_cast<void>(fd);
  static_cast<void>(name);
  static_cast<void>(result);
  return Guarded(checker, [](kindprobe_checker&) { return -ENOSYS; });
#else
  return Guarded(checker, [&](kindprobe_checker& held) {
    const std::u16string converted =
        name != nullptr ? kindprobe::platform::Utf8ToUtf16(name) : std::u16string();
    kindprobe::platform::OpenStatus status;
    kindprobe::platform::File file = kindprobe::platform::File::Duplicate(fd, &status);
    return Check(held, converted, std::move(file), status, result);
  });
#endif
}

int kindprobe_set_language(kindprobe_checker* checker, int language) {
  if (language != KINDPROBE_LANG_ZH && language != KINDPROBE_LANG_EN) return -EINVAL;
  return Guarded(checker, [&](kindprobe_checker& held) {
    held.language =
        language == KINDPROBE_LANG_EN ? kindprobe::Language::kEnglish : kindprobe::Language::kChinese;
    return 0;
  });
}

int kindprobe_set_explain(kindprobe_checker* checker, int on) {
  return Guarded(checker, [&](kindprobe_checker& held) {
    held.explain = on != 0;
    return 0;
  });
}

int kindprobe_set_rules_file(kindprobe_checker* checker, const char* path) {
  return SetRulesFile(checker, [path]() -> std::optional<std::u16string> {
    if (path == nullptr) return std::nullopt;
    return kindprobe::platform::Utf8ToUtf16(path);
  });
}

#ifdef _WIN32
int kindprobe_check_w(kindprobe_checker* checker, const wchar_t* path, kindprobe_result* result) {
  if (path == nullptr || result == nullptr) return -EINVAL;
  return CheckPath(checker, [path] { return WidePath(path); }, result);
}

int kindprobe_set_rules_file_w(kindprobe_checker* checker, const wchar_t* path) {
  return SetRulesFile(checker, [path]() -> std::optional<std::u16string> {
    if (path == nullptr) return std::nullopt;
    return WidePath(path);
  });
}
#endif

const char* kindprobe_version(void) { return KINDPROBE_VERSION_TEXT; }

}  // extern "C"
