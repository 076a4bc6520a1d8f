// The C interface over the engine: byte paths in, UTF-8 descriptions out, no exception across
// the boundary.
#include <kindprobe/version.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "engine/file_classifier.h"
#include "kindprobe/kindprobe.h"
#include "platform/diagnostic.h"
#include "platform/player_settings.h"
#include "platform/utf.h"

struct kindprobe_checker {
  kindprobe::FileClassifier classifier;
  std::string description;  // the UTF-8 of the last result, which hands out a pointer into it
};

namespace {

static_assert(kindprobe::TypeIDUnknown == KINDPROBE_TYPE_UNKNOWN &&
              kindprobe::TypeIDPlayerCache == KINDPROBE_TYPE_PLAYER_CACHE &&
              kindprobe::TypeIDNonMedia == KINDPROBE_TYPE_NON_MEDIA &&
              kindprobe::TypeIDZeroByte == KINDPROBE_TYPE_ZERO_BYTE &&
              kindprobe::TypeIDInvalidMedia == KINDPROBE_TYPE_INVALID_MEDIA);

// The settings are process-wide and read without a lock by checks, so they are fixed once,
// before the first checker exists, never while one may be checking.
void SetUpProcessOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    // A library must not write into its host program's output.
    kindprobe::platform::SetDiagnosticsDiscarded(true);
    const char* store = std::getenv(kindprobe::platform::kStorePathVariable);
    if (store != nullptr)
      kindprobe::platform::SetStorePath(kindprobe::platform::Utf8ToUtf16(store));
  });
}

}  // namespace

extern "C" {

kindprobe_checker* kindprobe_checker_new(void) {
  try {
    SetUpProcessOnce();
    return std::make_unique<kindprobe_checker>().release();
  } catch (...) {
    return nullptr;
  }
}

void kindprobe_checker_free(kindprobe_checker* checker) {
  std::unique_ptr<kindprobe_checker> owned(checker);
}

int kindprobe_check(kindprobe_checker* checker, const char* path, kindprobe_result* result) {
  if (checker == nullptr || path == nullptr || result == nullptr) return -EINVAL;
  try {
    checker->classifier.CheckFile(kindprobe::platform::Utf8ToUtf16(path).c_str());
    const kindprobe::CheckResult& checked = checker->classifier.result();
    checker->description = kindprobe::platform::Utf16ToUtf8(checked.description);
    const int typeId = checked.typeId >= 0 && checked.typeId <= KINDPROBE_TYPE_INVALID_MEDIA
                           ? checked.typeId
                           : KINDPROBE_TYPE_UNKNOWN;
    result->type_id = typeId;
    result->type_name = kindprobe::TypeName(typeId);
    result->description = checker->description.c_str();
    result->rule = checked.ruleIndex;
    result->examined = checked.examined ? 1 : 0;
    return 0;
  } catch (const std::bad_alloc&) {
    return -ENOMEM;
  } catch (...) {
    return -EIO;
  }
}

const char* kindprobe_version(void) { return KINDPROBE_VERSION_TEXT; }

}  // extern "C"
