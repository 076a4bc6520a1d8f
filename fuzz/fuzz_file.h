// A small real file for fuzz targets whose matching reads the end of a file.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "platform/file.h"
#include "platform/utf.h"

namespace kindprobe::fuzzing {

inline platform::File& TailFile() {
  static platform::File file = [] {
    char name[] = "/tmp/kindprobe-fuzz-XXXXXX";
    const int fd = mkstemp(name);
    const char bytes[] = "d8:announce0:e\x01\x02\x03\x00\xff";
    if (fd >= 0) {
      (void)!write(fd, bytes, sizeof bytes);
      close(fd);
    }
    platform::File opened = platform::File::OpenForReading(platform::Utf8ToUtf16(name).c_str());
    unlink(name);  // the open file outlives its name
    return opened;
  }();
  return file;
}

}  // namespace kindprobe::fuzzing
