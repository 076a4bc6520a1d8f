// Runs the built kindprobe (or another program) as a child process and collects what it wrote.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kindprobe::clitest {

struct ProcessResult {
  int exitCode = -1;  // -1 when the process did not exit normally
  bool timedOut = false;
  std::string out;
  std::string err;
};

struct ProcessSettings {
  std::optional<std::filesystem::path> workingDirectory;
  // Bytes for standard input; none: /dev/null.
  std::optional<std::string> input;
  // Variables to set; a value of nullopt removes the variable.
  std::map<std::string, std::optional<std::string>> environment;
  std::chrono::seconds timeout{60};
  // Where standard output goes instead of being collected (such as /dev/full).
  std::optional<std::filesystem::path> outputFile;
};

// Runs `program` with `args`; the child is killed when the timeout passes.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessSettings& settings = {});

// Runs the kindprobe under test. KINDPROBE_STORE_PATH is removed unless `settings` sets it.
ProcessResult RunKindprobe(const std::vector<std::string>& args, ProcessSettings settings = {});

// The lines of `text`, without their line ends.
std::vector<std::string> Lines(const std::string& text);

// Whether a program can be found on PATH.
bool ProgramAvailable(const std::string& program);

}  // namespace kindprobe::clitest
