// The report accessors: one function per field, so that later releases add fields without
// changing the size of anything a program allocates.
#include <cerrno>
#include <string>
#include <vector>

#include "engine/file_classifier.h"
#include "kindprobe/kindprobe.h"
#include "library/busy_flag.h"
#include "library/checker.h"

namespace {

using kindprobe::library::BusyFlag;
using kindprobe::library::Report;

// `field` of the report, or `refused` for a NULL checker or one another thread is using.
template <typename Value, typename Field>
Value Read(kindprobe_checker* checker, Value refused, Field&& field) {
  if (checker == nullptr) return refused;
  const BusyFlag flag(checker->busy);
  if (!flag.held()) return refused;
  return field(checker->report);
}

int ReadNumber(kindprobe_checker* checker, int (*field)(const Report&)) {
  if (checker == nullptr) return -EINVAL;
  return Read(checker, -EBUSY, field);
}

const char* ReadText(kindprobe_checker* checker, const char* (*field)(const Report&)) {
  return Read(checker, static_cast<const char*>(nullptr), field);
}

// Item `index` of `items`, or none when out of range.
template <typename Item>
const Item* At(const std::vector<Item>& items, int index) {
  return index >= 0 && static_cast<size_t>(index) < items.size()
             ? &items[static_cast<size_t>(index)]
             : nullptr;
}

// `field` of reason or stream `index`, or NULL.
template <typename Items, typename Field>
const char* ReadItem(kindprobe_checker* checker, int index, Items Report::*items, Field&& field) {
  return Read(checker, static_cast<const char*>(nullptr), [&](const Report& report) {
    const auto* item = At(report.*items, index);
    return item != nullptr ? field(*item) : nullptr;
  });
}

}  // namespace

extern "C" {

int kindprobe_report_type_id(kindprobe_checker* checker) {
  return ReadNumber(checker, [](const Report& r) { return r.typeId; });
}

const char* kindprobe_report_type_name(kindprobe_checker* checker) {
  return ReadText(checker, [](const Report& r) { return kindprobe::TypeName(r.typeId); });
}

const char* kindprobe_report_description(kindprobe_checker* checker) {
  return ReadText(checker, [](const Report& r) { return r.description.c_str(); });
}

int kindprobe_report_rule(kindprobe_checker* checker) {
  return ReadNumber(checker, [](const Report& r) { return r.rule; });
}

int kindprobe_report_examined(kindprobe_checker* checker) {
  return ReadNumber(checker, [](const Report& r) { return r.examined ? 1 : 0; });
}

int kindprobe_report_error(kindprobe_checker* checker) {
  return ReadNumber(checker, [](const Report& r) { return r.error; });
}

const char* kindprobe_report_error_text(kindprobe_checker* checker) {
  return ReadText(checker, [](const Report& r) { return r.errorText.c_str(); });
}

int kindprobe_report_reason_count(kindprobe_checker* checker) {
  return ReadNumber(checker, [](const Report& r) { return static_cast<int>(r.reasons.size()); });
}

const char* kindprobe_report_reason_code(kindprobe_checker* checker, int index) {
  return ReadItem(checker, index, &Report::reasons,
                  [](const Report::ReasonText& reason) { return reason.code; });
}

const char* kindprobe_report_reason_detail(kindprobe_checker* checker, int index) {
  return ReadItem(checker, index, &Report::reasons,
                  [](const Report::ReasonText& reason) { return reason.detail.c_str(); });
}

int kindprobe_report_stream_count(kindprobe_checker* checker) {
  return ReadNumber(checker, [](const Report& r) { return static_cast<int>(r.streams.size()); });
}

const char* kindprobe_report_stream_kind(kindprobe_checker* checker, int index) {
  return ReadItem(checker, index, &Report::streams,
                  [](const Report::StreamText& stream) { return stream.kind; });
}

const char* kindprobe_report_stream_codec(kindprobe_checker* checker, int index) {
  return ReadItem(checker, index, &Report::streams,
                  [](const Report::StreamText& stream) { return stream.codec.c_str(); });
}

const char* kindprobe_report_stream_tag(kindprobe_checker* checker, int index) {
  return ReadItem(checker, index, &Report::streams,
                  [](const Report::StreamText& stream) { return stream.tag.c_str(); });
}

}  // extern "C"
