// What a kindprobe_checker holds: its settings, its classifier over the table in use and the
// report of its last check.
#pragma once

#include <atomic>
#include <memory>
#include <optional>

#include "diagnosis/language.h"
#include "engine/explain/explain.h"
#include "engine/file_classifier.h"
#include "engine/rule_table.h"
#include "library/report.h"

struct kindprobe_checker {
  // Set while a call is using the checker.
  std::atomic_flag busy;
  kindprobe::Language language = kindprobe::Language::kChinese;
  bool explain = false;
  // A rule file's table; null: the process's own.
  std::unique_ptr<kindprobe::RuleTable> ownTable;
  // Both refer to the table in use and are made again with it; the families are made at the
  // first check that explains, since they name the table's rules.
  std::optional<kindprobe::FileClassifier> classifier;
  std::optional<kindprobe::explain::FormatFamilies> families;
  kindprobe::explain::Explanation explanation;
  kindprobe::library::Report report;
};
