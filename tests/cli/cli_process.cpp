#include "cli_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "temp_dir.h"

namespace kindprobe::clitest {
namespace {

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessSettings& settings) {
  testsupport::TempDir io;
  const auto inPath = io.Write("stdin", settings.input.value_or(""));
  const auto outPath = io.path() / "stdout";
  const auto errPath = io.path() / "stderr";

  std::vector<std::string> argvStore;
  argvStore.push_back(program);
  argvStore.insert(argvStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argvStore) argv.push_back(arg.data());
  argv.push_back(nullptr);

  ProcessResult result;
  const pid_t pid = ::fork();
  if (pid < 0) return result;
  if (pid == 0) {
    // Only async-signal-safe work from here on, apart from setenv in a single-threaded child.
    const int in =
        settings.input ? ::open(inPath.c_str(), O_RDONLY) : ::open("/dev/null", O_RDONLY);
    const int out = settings.outputFile
                        ? ::open(settings.outputFile->c_str(), O_WRONLY)
                        : ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    // The child gets the three streams and nothing else: tests that count descriptors count
    // from there.
    for (const int fd : {in, out, err}) {
      if (fd > 2) ::close(fd);
    }
    for (const auto& [name, value] : settings.environment) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
    if (settings.workingDirectory && ::chdir(settings.workingDirectory->c_str()) != 0) ::_exit(126);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }

  const auto deadline = std::chrono::steady_clock::now() + settings.timeout;
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      result.timedOut = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (!result.timedOut && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  result.out = ReadAll(outPath);
  result.err = ReadAll(errPath);
  return result;
}

ProcessResult RunKindprobe(const std::vector<std::string>& args, ProcessSettings settings) {
  settings.environment.try_emplace("KINDPROBE_STORE_PATH", std::nullopt);
  return RunProcess(KINDPROBE_CLI_PATH, args, settings);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool ProgramAvailable(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::istringstream dirs(path);
  for (std::string dir; std::getline(dirs, dir, ':');) {
    if (!dir.empty() && ::access((std::filesystem::path(dir) / program).c_str(), X_OK) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace kindprobe::clitest
