#include "cli/rules/rule_check.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

#include "cli/text/text_join.h"
#include "engine/file_classifier.h"
#include "engine/rule_table.h"
#include "engine/rule_text_observer.h"
#include "engine/signature_match.h"
#include "platform/utf.h"

namespace kindprobe::cli {
namespace {

using std::to_string;

// The most bytes one test can hold: twice as many hex digits must fit in one item.
constexpr size_t kMaxTestBytes = (kPatternItemCapacity - 1) / 2;
// Quoted texts are shortened to this many characters in messages.
constexpr size_t kQuoteLength = 40;

std::string Quote(std::u16string_view text) {
  if (text.size() <= kQuoteLength) return Join({"\"", platform::Utf16ToUtf8(text), "\""});
  return Join({"\"", platform::Utf16ToUtf8(text.substr(0, kQuoteLength)), "...\""});
}

std::string FieldName(int32_t position) {
  if (position < kFieldKind) return "the extension list";
  if (position == kFieldKind) return "the kind";
  if (position == kFieldDescription) return "the description";
  return Join({"pattern field ", to_string(position - kFieldDescription)});
}

std::string TestName(int32_t group) { return Join({"test ", to_string(group + 1)}); }

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// Whether a file's extension, as classification takes it, can ever equal `extension`: it is
// taken from the last dot, lower-cased, and never crosses a directory separator.
bool CanBeLookedUp(std::u16string_view extension) {
  if (extension.size() < 2 || extension[0] != u'.') return false;
  return std::none_of(extension.begin() + 1, extension.end(), [](char16_t c) {
    return c == u'.' || c == u'/' || c == u'\\' || (c >= u'A' && c <= u'Z');
  });
}

bool SameTest(const ByteTest& a, const ByteTest& b) {
  if (a.offset != b.offset || a.count != b.count) return false;
  if (a.count == 0) return true;
  return std::memcmp(a.mask.get(), b.mask.get(), a.count) == 0 &&
         std::memcmp(a.value.get(), b.value.get(), a.count) == 0;
}

bool SamePattern(const SignaturePattern& a, const SignaturePattern& b) {
  if (a.testCount != b.testCount) return false;
  for (int32_t t = 0; t < a.testCount; ++t) {
    if (!SameTest(*a.tests[t], *b.tests[t])) return false;
  }
  return true;
}

bool ValueOutsideMask(const ByteTest& test) {
  for (uint32_t i = 0; i < test.count; ++i) {
    if ((test.value[i] & ~test.mask[i]) != 0) return true;
  }
  return false;
}

std::string DescribeTest(const ByteTest& test) {
  if (test.IsTail()) return Join({"the test of the last ", to_string(test.count), " byte(s)"});
  return Join(
      {"the test at offset ", to_string(test.offset), " (count ", to_string(test.count), ")"});
}

// Where each rule stands in the text and which field gave each of its stored patterns.
struct RuleOrigin {
  size_t line = 0;
  // By pattern index: the position of the field it came from, as the parser tells.
  std::vector<int32_t> patternFields;

  int32_t FieldOf(int32_t pattern) const { return patternFields[static_cast<size_t>(pattern)]; }
};

class Lint : public RuleTextObserver {
 public:
  explicit Lint(const std::u16string& text) : text_(text), nul_(text.find(u'\0')) {}

  void OnLine(size_t offset, size_t number, std::u16string_view line,
              const FileTypeRule* rule) override {
    line_ = number;
    rule_ = rule;
    field_ = -1;
    if (rule != nullptr) origins_.push_back(RuleOrigin{line_, {}});
    CheckLineEnds(offset);
    if (rule == nullptr && !line.empty() && IsBlank(line[0])) {
      const size_t first = line.find_first_not_of(u" \t");
      if (first != std::u16string_view::npos && (line[first] == u'.' || line[first] == u';')) {
        Warn(
            "the line begins with a blank and is skipped: a rule line must begin with \".\" or "
            "\";\"");
      }
    }
  }

  void OnField(int32_t position, std::u16string_view /*field*/) override { field_ = position; }

  void OnPattern(int32_t position, int32_t index) override {
    if (rule_ == nullptr) return;
    std::vector<int32_t>& fields = origins_.back().patternFields;
    if (fields.size() <= static_cast<size_t>(index)) fields.resize(static_cast<size_t>(index) + 1);
    fields[static_cast<size_t>(index)] = position;
  }

  void OnNotice(const RuleTextNotice& notice) override {
    switch (notice.event) {
      case RuleTextEvent::kLineCut:
        Warn(Join({"the line has ", to_string(notice.length), " characters; only the first ",
                   to_string(kLineCapacity - 1), " are read"}));
        break;
      case RuleTextEvent::kRuleLimit:
        Error(Join({"a table holds at most ", to_string(kMaxRules),
                    " rules: this rule line and every line after it are ignored"}));
        break;
      case RuleTextEvent::kFieldCut:
        Warn(Cut(FieldName(field_), notice, kFieldCapacity));
        break;
      case RuleTextEvent::kExtensionCut:
        Warn(Cut(Join({"the extension ", Quote(notice.text)}), notice, kExtensionCapacity));
        break;
      case RuleTextEvent::kExtensionIgnored:
        Warn(Join({"the extension ", Quote(notice.text), " is ignored: a rule lists at most ",
                   to_string(kMaxExtensions), " extensions"}));
        break;
      case RuleTextEvent::kPatternTooShort:
        Warn(Join({FieldName(field_), " ", Quote(notice.text),
                   " is refused: a pattern field has at least ", to_string(kShortestPatternField),
                   " characters"}));
        break;
      case RuleTextEvent::kPatternLimit:
        Warn(Join({FieldName(field_), " is refused: a rule holds at most ", to_string(kMaxPatterns),
                   " patterns"}));
        break;
      case RuleTextEvent::kItemCut:
        Warn(Cut(Join({FieldName(field_), ": the item ", Quote(notice.text)}), notice,
                 kPatternItemCapacity));
        break;
      case RuleTextEvent::kTestLimit:
        Warn(Join({FieldName(field_), ": ", TestName(notice.group),
                   " is ignored: a pattern holds at most ", to_string(kMaxTestsPerPattern),
                   " tests"}));
        break;
      case RuleTextEvent::kMaskLength:
        Warn(Join({WrongLength("mask", notice), "; it is ignored and every bit is tested"}));
        break;
      case RuleTextEvent::kValueLength:
        Warn(Join({WrongLength("value", notice), "; the test is dropped",
                   notice.count > kMaxTestBytes
                       ? Join({" (a test holds at most ", to_string(kMaxTestBytes), " bytes)"})
                       : std::string()}));
        break;
      case RuleTextEvent::kGroupUnfinished:
        Warn(Join({FieldName(field_), ": the field ends before the value of ",
                   TestName(notice.group), "; it gives no test"}));
        break;
      case RuleTextEvent::kPatternWithoutTest:
        Warn(Join({FieldName(field_), " ", Quote(notice.text), " gives no test and is refused"}));
        break;
    }
  }

  // Findings in the parsed table, which the parser itself accepts without a word.
  void CheckTable(const RuleTable& table) {
    std::map<std::u16string_view, int32_t> firstLister;
    for (int32_t r = 0; r < table.ruleCount && r < static_cast<int32_t>(origins_.size()); ++r) {
      const FileTypeRule& rule = *table.rules[r];
      const RuleOrigin& origin = origins_[static_cast<size_t>(r)];
      line_ = origin.line;
      if (rule.kind != kRuleKindAudioVideo && rule.kind != kRuleKindOther) {
        Warn(Join({"kind ", to_string(rule.kind),
                   " is neither 1 (audio/video format) nor 2 (other format): a file this rule "
                   "matches gets TypeID 0"}));
      }
      if (rule.description[0] == u'\0') Warn("the description is empty");
      if (rule.patternCount == 0) {
        Error(Join({"rule ", to_string(r), " has no pattern: it matches no file"}));
      }
      CheckExtensions(table, r, firstLister);
      CheckPatterns(rule, origin);
    }
    if (table.ruleCount == 0) {
      line_ = 1;
      Error("the text has no rule line: no file would be recognised by its signature");
    }
  }

  // The first NUL ends the text for the parser, which never hears of it: its line is counted
  // here.
  void CheckNul() {
    if (nul_ == std::u16string::npos) return;
    line_ = 1 + static_cast<size_t>(
                    std::count(text_.begin(), text_.begin() + static_cast<ptrdiff_t>(nul_), u'\n'));
    Warn("a NUL character ends the text here: nothing after it is read");
  }

  std::vector<RuleDiagnostic> Take() {
    std::stable_sort(
        diagnostics_.begin(), diagnostics_.end(),
        [](const RuleDiagnostic& a, const RuleDiagnostic& b) { return a.line < b.line; });
    return std::move(diagnostics_);
  }

 private:
  // "WHAT has N characters; it is cut to its first M"
  static std::string Cut(std::string_view what, const RuleTextNotice& notice, size_t capacity) {
    return Join({what, " has ", to_string(notice.length), " characters; it is cut to its first ",
                 to_string(capacity - 1)});
  }

  // "pattern field K, test G: the mask has N hex digits where count C needs 2C"
  std::string WrongLength(std::string_view item, const RuleTextNotice& notice) const {
    return Join({FieldName(field_), ", ", TestName(notice.group), ": the ", item, " has ",
                 to_string(notice.length), " hex digits where count ", to_string(notice.count),
                 " needs ", to_string(2 * uint64_t{notice.count})});
  }

  // A line end other than CR LF does not end a line for the parser.
  void CheckLineEnds(size_t offset) {
    const size_t end = std::min(text_.find(u"\r\n", offset), nul_);
    const std::u16string_view line =
        std::u16string_view(text_).substr(offset, end == std::u16string::npos ? end : end - offset);
    const size_t stray = line.find_first_of(u"\r\n");
    if (stray == std::u16string_view::npos) return;
    const size_t feeds = static_cast<size_t>(std::count(line.begin(), line.end(), u'\n'));
    Warn(Join({"a line end here is not CR LF: the parser reads this line and the ",
               to_string(feeds), " line(s) after it, up to the next CR LF, as one line"}));
  }

  void CheckExtensions(const RuleTable& table, int32_t r,
                       std::map<std::u16string_view, int32_t>& firstLister) {
    const FileTypeRule& rule = *table.rules[r];
    for (int32_t e = 0; e < rule.extensionCount; ++e) {
      const std::u16string_view extension = rule.extensions[e].get();
      if (const char16_t* answer = BuiltInExtensionAnswer(extension)) {
        Warn(Join({"the extension ", Quote(extension),
                   " never reaches a rule: every such file is answered \"",
                   platform::Utf16ToUtf8(answer), "\" first"}));
      } else if (!CanBeLookedUp(extension)) {
        Warn(Join({"the extension ", Quote(extension),
                   " is never looked up: a file's extension is taken lower-case from its last "
                   "dot"}));
      }
      const auto [first, inserted] = firstLister.emplace(extension, r);
      if (!inserted && first->second != r) {
        Warn(Join({"the extension ", Quote(extension), " is also listed by rule ",
                   to_string(first->second), " (line ",
                   to_string(origins_[static_cast<size_t>(first->second)].line),
                   "), which decides alone: rule ", to_string(r),
                   " never decides by this extension"}));
      }
    }
  }

  void CheckPatterns(const FileTypeRule& rule, const RuleOrigin& origin) {
    for (int32_t p = 0; p < rule.patternCount; ++p) {
      const SignaturePattern& pattern = *rule.patterns[p];
      const std::string name = FieldName(origin.FieldOf(p));
      bool testsBytes = false;
      for (int32_t t = 0; t < pattern.testCount; ++t) {
        const ByteTest& test = *pattern.tests[t];
        if (test.count == 0) continue;
        testsBytes = true;
        if (!test.IsTail() &&
            (test.offset > kFileHeadCapacity || test.count > kFileHeadCapacity - test.offset)) {
          Warn(Join({name, ": ", DescribeTest(test), " reaches past the ",
                     to_string(kFileHeadCapacity), "-byte head: it never holds"}));
        }
        if (ValueOutsideMask(test)) {
          Warn(Join({name, ": ", DescribeTest(test),
                     " never holds: its value has bits that its mask clears"}));
        }
      }
      if (!testsBytes) Warn(Join({name, " tests no byte: it matches every file"}));
      for (int32_t q = 0; q < p; ++q) {
        if (SamePattern(pattern, *rule.patterns[q])) {
          Warn(Join({name, " repeats ", FieldName(origin.FieldOf(q))}));
          break;
        }
      }
    }
  }

  void Warn(std::string message) { diagnostics_.push_back({line_, false, std::move(message)}); }
  void Error(std::string message) { diagnostics_.push_back({line_, true, std::move(message)}); }

  const std::u16string& text_;
  const size_t nul_;  // where the parser's text ends, npos when at the real end
  size_t line_ = 1;
  const FileTypeRule* rule_ = nullptr;
  int32_t field_ = -1;
  std::vector<RuleOrigin> origins_;
  std::vector<RuleDiagnostic> diagnostics_;
};

}  // namespace

std::vector<RuleDiagnostic> CheckRuleText(const std::u16string& text) {
  Lint lint(text);
  auto table = std::make_unique<RuleTable>();
  LoadRuleTableFromText(*table, text.c_str(), &lint);
  lint.CheckTable(*table);
  lint.CheckNul();
  return lint.Take();
}

std::string FormatRuleDiagnostics(std::string_view fileName,
                                  const std::vector<RuleDiagnostic>& diagnostics) {
  std::string out;
  for (const RuleDiagnostic& d : diagnostics) {
    out += Join(
        {fileName, ":", to_string(d.line), d.error ? ": error: " : ": warning: ", d.message, "\n"});
  }
  return out;
}

}  // namespace kindprobe::cli
