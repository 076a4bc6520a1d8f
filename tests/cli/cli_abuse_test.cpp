// kindprobe under abuse: output that cannot be written, walks that could run forever or go
// deeper than a path may be long, too few descriptors, odd lists, idle threads, devices.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "cli_process.h"
#include "temp_dir.h"

namespace kindprobe::clitest {
namespace {

namespace fs = std::filesystem;

const std::string kPng("\x89PNG\r\n\x1a\n", 8);
const std::string kZip("PK\x03\x04\x14\0\0\0", 8);

// Runs a shell script with the kindprobe under test as $1 and `more` as $2, $3, ...
ProcessResult RunScript(const std::string& script, std::vector<std::string> more = {},
                        ProcessSettings settings = {}, const std::string& shell = "sh") {
  std::vector<std::string> args = {"-c", script, shell, KINDPROBE_CLI_PATH};
  args.insert(args.end(), more.begin(), more.end());
  settings.environment.try_emplace("KINDPROBE_STORE_PATH", std::nullopt);
  return RunProcess(shell, args, settings);
}

ProcessSettings Bounded() {
  ProcessSettings settings;
  settings.timeout = std::chrono::seconds(60);
  return settings;
}

TEST(CliOutputTrouble, TheFirstFailedWriteEndsAnEndlessRun) {
  testsupport::TempDir dir;
  const auto file = dir.Write("a.png", kPng);
  // An endless list: the run can only end by giving up on its output.
  const auto full = RunScript("yes \"$2\" | \"$1\" -f - >/dev/full", {file.string()}, Bounded());
  EXPECT_FALSE(full.timedOut);
  EXPECT_EQ(full.exitCode, 2);
  EXPECT_EQ(full.err, "kindprobe: write error: No space left on device\n");

  // A reader that went away, with SIGPIPE ignored: EPIPE, said once.
  const auto status = dir.path() / "status";
  const auto err = dir.path() / "err";
  const auto pipe = RunScript(
      "trap '' PIPE; { yes \"$2\" | \"$1\" -j 3 -f - 2>\"$3\"; echo $? >\"$4\"; } | head -c 1",
      {file.string(), err.string(), status.string()}, Bounded());
  EXPECT_FALSE(pipe.timedOut);
  const auto pipeStatus = RunProcess("cat", {status.string(), err.string()});
  EXPECT_EQ(pipeStatus.out, "2\nkindprobe: write error: Broken pipe\n");
}

TEST(CliOutputTrouble, AClosedStandardOutputIsAWriteError) {
  testsupport::TempDir dir;
  const auto file = dir.Write("a.png", kPng);
  const auto result = RunScript("\"$1\" \"$2\" \"$2\" >&-", {file.string()});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.err, "kindprobe: write error: Bad file descriptor\n");
}

TEST(CliWalkLimits, FollowedLinksWalkEachDirectoryOnce) {
  // Each level links twice to the next: 2^14 routes to the deepest level, 14 directories.
  testsupport::TempDir dir;
  constexpr int kLevels = 14;
  for (int i = 0; i < kLevels; ++i) dir.Write("L" + std::to_string(i) + "/f.txt", "text");
  for (int i = 0; i + 1 < kLevels; ++i) {
    const fs::path level = dir.path() / ("L" + std::to_string(i));
    const fs::path next = "../L" + std::to_string(i + 1);
    fs::create_directory_symlink(next, level / "a");
    fs::create_directory_symlink(next, level / "b");
  }
  const auto result = RunKindprobe({"-rL", "-j", "2", dir.path().string()}, Bounded());
  ASSERT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0);
  const auto lines = Lines(result.out);
  ASSERT_EQ(lines.size(), size_t{kLevels}) << result.out.substr(0, 2000);
  // The first route in name order reaches every level, and "a" comes before "f.txt": the
  // deepest level is printed first, L0/f.txt last.
  std::string route = (dir.path() / "L0").string();
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    EXPECT_EQ(*line, route + "/f.txt: 文本文件 (TypeID 2)");
    route += "/a";
  }
  // Each L0..L12 links again through "b", and L1..L13 are met again at the top.
  EXPECT_NE(result.err.find("skipped 26 symbolic link(s)"), std::string::npos) << result.err;
}

TEST(CliWalkLimits, WalksGoDeeperThanAPathMayBeLongOrDescriptorsLast) {
  testsupport::TempDir dir;
  const std::string name(200, 'd');
  constexpr int kDepth = 30;  // 6,000 bytes of path, beyond PATH_MAX
  const auto writeFile = [](int at) {
    const int file = ::openat(at, "f.png", O_WRONLY | O_CREAT, 0600);
    const bool written =
        file >= 0 && ::write(file, kPng.data(), kPng.size()) == static_cast<ssize_t>(kPng.size());
    if (file >= 0) ::close(file);
    return written;
  };
  int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  std::string deep = dir.path().string();
  // Each level holds f.png beside the next level, which comes first in name order: the walk
  // goes all the way down before it prints the files on its way back up.
  std::string expected;
  for (int i = 0; i <= kDepth; ++i) {
    ASSERT_TRUE(writeFile(fd));
    expected.insert(0, deep + "/f.png: PNG图像文件 (TypeID 2)\n");
    if (i == kDepth) break;
    ASSERT_EQ(::mkdirat(fd, name.c_str(), 0700), 0);
    const int child = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
    ::close(fd);
    ASSERT_GE(fd = child, 0);
    deep += "/" + name;
  }
  ::close(fd);
  ASSERT_GT(deep.size(), 4096u);

  const auto result = RunKindprobe({"-r", dir.path().string()});
  // Thirty levels deep with sixteen descriptors: the walk cannot hold one for each.
  const auto squeezed =
      RunScript("ulimit -n 16 && exec \"$1\" -r \"$2\"", {dir.path().string()}, {}, "bash");
  // The standard library's recursive removal stops at PATH_MAX; rm does not.
  RunProcess("rm", {"-rf", (dir.path() / name).string()});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(result.out == expected) << result.out.substr(0, 3000);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(squeezed.exitCode, 0) << squeezed.err;
  EXPECT_TRUE(squeezed.out == expected) << squeezed.out.substr(0, 3000);
}

TEST(CliFailures, EveryFailureSaysWhyOnStandardErrorAndKeepsItsLine) {
  testsupport::TempDir dir;
  const auto file = dir.Write("sub/a.png", kPng);
  const std::string missing = (dir.path() / "missing.avi").string();
  const std::string sub = (dir.path() / "sub").string();
  // A device: only a pipe or FIFO named is read.
  const std::string device = "/dev/null";
  // A name that would drive a terminal is escaped on standard error as on standard output.
  const std::string hostile = (dir.path() / "no\nsuch\033[2J").string();
  const std::string escaped = (dir.path() / "no\\012such\\033[2J").string();
  const auto result = RunKindprobe({missing, sub, device, file.string(), hostile});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, missing + ": 未知类型 (TypeID 0)\n" + sub + ": 未知类型 (TypeID 0)\n" +
                            device + ": 未知类型 (TypeID 0)\n" + file.string() +
                            ": PNG图像文件 (TypeID 2)\n" + escaped + ": 未知类型 (TypeID 0)\n");
  EXPECT_EQ(result.err, "kindprobe: " + missing + ": cannot open (No such file or directory)\n" +
                            "kindprobe: " + sub + ": is a directory (use -r)\n" +
                            "kindprobe: " + device + ": not a regular file\n" + "kindprobe: " +
                            escaped + ": cannot open (No such file or directory)\n");

  const auto json = RunKindprobe({"--json", sub});
  EXPECT_NE(json.out.find(",\"error\":\"is a directory (use -r)\"}"), std::string::npos)
      << json.out;
}

// Whether anything opened `path` while `run` ran.
template <typename Run>
bool OpenedDuring(const fs::path& path, Run run) {
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  EXPECT_GE(watch, 0);
  EXPECT_GE(::inotify_add_watch(watch, path.c_str(), IN_OPEN), 0);
  run();
  alignas(inotify_event) char events[4096];
  const ssize_t got = ::read(watch, events, sizeof events);
  ::close(watch);
  return got > 0;
}

TEST(CliFailures, SpecialFilesAreLookedAtButNeverOpened) {
  testsupport::TempDir dir;
  const fs::path fifo = dir.path() / "pipe.avi";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto plain = dir.Write("plain.png", kPng);
  // The watch itself works: a regular file is seen being opened.
  EXPECT_TRUE(OpenedDuring(plain, [&] { RunKindprobe({plain.string()}); }));
  EXPECT_FALSE(OpenedDuring(fifo, [&] { RunKindprobe({fifo.string()}); }));
  EXPECT_FALSE(OpenedDuring(fifo, [&] { RunKindprobe({"-r", dir.path().string()}); }));
}

TEST(CliDescriptors, TooFewDescriptorsNeverTurnReadableFilesIntoUnknown) {
  testsupport::TempDir dir;
  std::string list;
  for (int i = 0; i < 300; ++i) {
    list += dir.Write("files/f" + std::to_string(i) + ".zip", kZip).string() + "\n";
  }
  const auto listFile = dir.Write("list", list);
  std::string expected;
  for (int i = 0; i < 300; ++i) expected += "ZIP压缩文档 (TypeID 2)\n";
  // Descriptors taken below the limit before it is lowered, so that few are left: with 16,
  // the threads are cut to one; with 64, eight threads share three descriptors and wait for
  // each other.
  const auto squeeze = [](int limit, int left) {
    std::string script = "exec";
    for (int fd = 3; fd < limit - left; ++fd) script += " " + std::to_string(fd) + "</dev/null";
    return script + " && ulimit -n " + std::to_string(limit) + " && exec \"$1\" -b -j 256 ";
  };
  for (const int limit : {16, 64}) {
    SCOPED_TRACE(limit);
    const auto listed = RunScript(squeeze(limit, 4) + "-f \"$2\"", {listFile.string()}, {}, "bash");
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.err, "");
    EXPECT_TRUE(listed.out == expected) << listed.out.substr(0, 1000);

    const auto walked =
        RunScript(squeeze(limit, 4) + "-r \"$2\"", {(dir.path() / "files").string()}, {}, "bash");
    EXPECT_EQ(walked.exitCode, 0) << walked.err;
    EXPECT_TRUE(walked.out == expected) << walked.out.substr(0, 1000);
  }
}

TEST(CliListTrouble, ListsThatCannotBeReadStopTheRunWithStatusTwo) {
  testsupport::TempDir dir;
  const auto file = dir.Write("a.png", kPng);
  const auto missing = RunKindprobe({"-f", (dir.path() / "none").string()});
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.err.find("cannot open the list"), std::string::npos) << missing.err;

  const auto directory = RunKindprobe({"-b", file.string(), "-f", dir.path().string()});
  EXPECT_EQ(directory.exitCode, 2);
  EXPECT_EQ(directory.out, "PNG图像文件 (TypeID 2)\n");
  EXPECT_EQ(directory.err,
            "kindprobe: cannot read the list " + dir.path().string() + " (Is a directory)\n");

  const auto closedInput = RunScript("exec \"$1\" -f - <&-");
  EXPECT_EQ(closedInput.exitCode, 2);
  EXPECT_NE(closedInput.err.find("cannot read the list -"), std::string::npos) << closedInput.err;
}

TEST(CliListTrouble, EveryListIsReadInTheOrderGiven) {
  testsupport::TempDir dir;
  const auto a = dir.Write("a.png", kPng);
  const auto b = dir.Write("b.txt", "text");
  const auto first = dir.Write("first", a.string() + "\n");
  const auto second = dir.Write("second", b.string() + "\n" + a.string() + "\n");
  const auto result = RunKindprobe({"-b", "-f", first.string(), "-f", second.string()});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "PNG图像文件 (TypeID 2)\n文本文件 (TypeID 2)\nPNG图像文件 (TypeID 2)\n");
}

TEST(CliListTrouble, ListsWrittenOnWindowsNameTheirFiles) {
  testsupport::TempDir dir;
  const auto a = dir.Write("a.png", kPng);
  const auto b = dir.Write("b.txt", "text");
  const auto crlf = dir.Write("crlf", a.string() + "\r\n" + b.string() + "\r\n");
  const auto lines = RunKindprobe({"-b", "-f", crlf.string()});
  EXPECT_EQ(lines.exitCode, 0);
  EXPECT_EQ(lines.out, "PNG图像文件 (TypeID 2)\n文本文件 (TypeID 2)\n");
  // NUL-separated names are taken exactly: the CR is part of the name.
  const auto nul = dir.Write("nul", a.string() + "\r" + std::string(1, '\0'));
  const auto exact = RunKindprobe({"-b", "-0", "-f", nul.string()});
  EXPECT_EQ(exact.exitCode, 1);
}

TEST(CliListTrouble, AnOverlongEntryIsSkippedAndTheRestIsRead) {
  testsupport::TempDir dir;
  const auto a = dir.Write("a.png", kPng);
  const auto list = dir.Write("list", std::string(300000, 'x') + "\n" + std::string(200000, '\0') +
                                          "\n" + a.string() + "\n");
  const auto result = RunKindprobe({"-f", list.string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, a.string() + ": PNG图像文件 (TypeID 2)\n");
  EXPECT_EQ(result.err, "kindprobe: skipped 2 list entries longer than 65536 bytes\n");
}

TEST(CliSettings, AnEmptyStorePathIsNoSetting) {
  testsupport::TempDir dir;
  const auto cache = dir.Write("x/VODCache/part.dat", std::string("\x00\x01\x02", 3));
  const auto option = RunKindprobe({"-b", "--store-path", "", cache.string()});
  EXPECT_EQ(option.out, "未知类型 (TypeID 0)\n");
  EXPECT_EQ(option.err, "");
  ProcessSettings emptyVariable;
  emptyVariable.environment["KINDPROBE_STORE_PATH"] = "";
  const auto variable = RunKindprobe({"-b", cache.string()}, emptyVariable);
  EXPECT_EQ(variable.out, "未知类型 (TypeID 0)\n");
  EXPECT_EQ(variable.err, "");
}

}  // namespace
}  // namespace kindprobe::clitest
