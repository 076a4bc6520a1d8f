#include "temp_dir.h"

#include <atomic>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace kindprobe::testsupport {
namespace {

// A name no other test process picks: random, and created only if it did not exist yet.
std::filesystem::path CreateUniqueDirectory(const std::filesystem::path& base) {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate =
        base / ("kindprobe-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) return candidate;
  }
  throw std::runtime_error("cannot create a temporary directory in " + base.string());
}

}  // namespace

TempDir::TempDir() : TempDir(std::filesystem::temp_directory_path()) {}

TempDir::TempDir(const std::filesystem::path& base) : path_(CreateUniqueDirectory(base)) {}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempDir::Write(const std::filesystem::path& relative,
                                     std::string_view bytes) const {
  const std::filesystem::path file = path_ / relative;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
  return file;
}

std::filesystem::path TempDir::MakeDirectory(const std::filesystem::path& relative) const {
  const std::filesystem::path directory = path_ / relative;
  std::filesystem::create_directories(directory);
  return directory;
}

}  // namespace kindprobe::testsupport
