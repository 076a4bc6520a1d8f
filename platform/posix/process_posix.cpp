#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/process.h"
#include "platform/utf.h"

namespace kindprobe::platform {

char16_t PreferredSeparator() { return u'/'; }
bool IsPathSeparator(char16_t c) { return c == u'/'; }

void FileCloser::operator()(std::FILE* file) const { std::fclose(file); }

FilePtr OpenListFile(const std::u16string& path, int* error) {
  FilePtr file(std::fopen(Utf16ToUtf8(path).c_str(), "rb"));
  *error = file ? 0 : errno;
  return file;
}

std::FILE* BinaryStandardInput() { return stdin; }
std::FILE* BinaryStandardOutput() { return stdout; }

void HoldClosedStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    // Opened the wrong way round on purpose: a closed input reads as an error rather than as an
    // empty list, a closed output fails to be written.
    const int placeholder = ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
    // The lowest free number is the one that is closed, so it lands where it belongs.
    if (placeholder >= 0 && placeholder != fd) ::close(placeholder);
  }
}

long ReadAvailable(std::FILE* stream, void* buffer, size_t size) {
  ssize_t got;
  do {
    got = ::read(::fileno(stream), buffer, size);
  } while (got < 0 && errno == EINTR);
  return static_cast<long>(got);
}

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

uint32_t ProcessorCount() {
#ifdef __linux__
  // The processors this process may run on, which a container or taskset may limit.
  cpu_set_t allowed;
  if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
    const int count = CPU_COUNT(&allowed);
    if (count > 0) return static_cast<uint32_t>(count);
  }
#endif
  const long count = ::sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<uint32_t>(count) : 1;
}

std::optional<uint64_t> OpenFileLimit() {
  rlimit limit;
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
    return std::nullopt;
  }
  return static_cast<uint64_t>(limit.rlim_cur);
}

std::optional<std::u16string> EnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return Utf8ToUtf16(value);
}

std::string ErrorText(int code) { return std::strerror(code); }

}  // namespace kindprobe::platform
