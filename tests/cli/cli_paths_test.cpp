// Where paths come from: arguments, lists, standard input, directory walks; and paths that are
// not plain files or not valid UTF-8.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "cli_process.h"
#include "temp_dir.h"

namespace kindprobe::clitest {
namespace {

namespace fs = std::filesystem;

const std::string kPng("\x89PNG\r\n\x1a\n", 8);
const std::string kAvi("RIFF\x10\0\0\0AVI LIST", 16);

TEST(CliWalk, RecursiveWalkListsFilesInNameOrderDepthFirst) {
  testsupport::TempDir dir;
  dir.Write("b/inner.png", kPng);
  dir.Write("a.txt", "text");
  dir.Write("c.avi", kAvi);
  dir.Write("b/deeper/z.txt", "more text");
  const auto result = RunKindprobe({"-r", dir.path().string()});
  EXPECT_EQ(result.exitCode, 0);
  const std::string root = dir.path().string() + "/";
  EXPECT_EQ(result.out, root + "a.txt: 文本文件 (TypeID 2)\n" + root +
                            "b/deeper/z.txt: 文本文件 (TypeID 2)\n" + root +
                            "b/inner.png: PNG图像文件 (TypeID 2)\n" + root +
                            "c.avi: AVI文件 (TypeID 4)\n");
}

TEST(CliWalk, ADirectoryWithoutRecursionCannotBeExamined) {
  testsupport::TempDir dir;
  dir.Write("sub/a.txt", "text");
  const auto result = RunKindprobe({(dir.path() / "sub").string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, (dir.path() / "sub").string() + ": 未知类型 (TypeID 0)\n");
}

TEST(CliWalk, SymbolicLinksAreFollowedOnlyWithDereference) {
  testsupport::TempDir dir;
  testsupport::TempDir outside;
  outside.Write("target/movie.avi", kAvi);
  const auto file = outside.Write("single.png", kPng);
  dir.Write("own.txt", "text");
  fs::create_directory_symlink(outside.path() / "target", dir.path() / "linked-dir");
  fs::create_symlink(file, dir.path() / "linked.png");

  const auto plain = RunKindprobe({"-r", dir.path().string()});
  EXPECT_EQ(plain.exitCode, 0);
  EXPECT_EQ(plain.out, (dir.path() / "own.txt").string() + ": 文本文件 (TypeID 2)\n");
  // Said once, at the end, so that a walk of nothing but links is not mistaken for an empty one.
  EXPECT_EQ(plain.err, "kindprobe: skipped 2 symbolic links; -L follows them\n");

  const auto followed = RunKindprobe({"-r", "-L", dir.path().string()});
  EXPECT_EQ(followed.exitCode, 0);
  EXPECT_EQ(followed.err, "");
  EXPECT_EQ(followed.out, (dir.path() / "linked-dir/movie.avi").string() +
                              ": AVI文件 (TypeID 4)\n" + (dir.path() / "linked.png").string() +
                              ": PNG图像文件 (TypeID 2)\n" + (dir.path() / "own.txt").string() +
                              ": 文本文件 (TypeID 2)\n");
}

TEST(CliWalk, ALinkLoopEndsTheWalkOfThatBranch) {
  testsupport::TempDir dir;
  dir.Write("a/file.txt", "text");
  fs::create_directory_symlink(dir.path() / "a", dir.path() / "a/again");
  const auto result = RunKindprobe({"-rL", dir.path().string()});
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, (dir.path() / "a/file.txt").string() + ": 文本文件 (TypeID 2)\n");
  EXPECT_NE(result.err.find("skipped 1 symbolic link"), std::string::npos) << result.err;
}

TEST(CliWalk, UnreadableDirectoryIsReportedAsNotExamined) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every directory";
  testsupport::TempDir dir;
  dir.Write("closed/a.txt", "text");
  fs::permissions(dir.path() / "closed", fs::perms::none);
  const auto result = RunKindprobe({"-r", dir.path().string()});
  fs::permissions(dir.path() / "closed", fs::perms::owner_all);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, (dir.path() / "closed").string() + ": 未知类型 (TypeID 0)\n");
}

// "-" and a FIFO named on the command line are read to their end as the file: the head and the
// last byte (here of a torrent, whose rule tests it) come from where they lie in the stream.
TEST(CliSpecialFiles, StandardInputAndANamedFifoAreReadAsTheFile) {
  std::string torrent = "d8:announce35:http://tracker.example/announce";
  torrent += std::string(20000, '\x01') + "e";
  std::string notTorrent = torrent;
  notTorrent.back() = 'x';
  const struct {
    std::string input;
    const char* answer;
  } cases[] = {
      {kAvi, "-: AVI文件 (TypeID 4)\n"},
      {"", "-: 零字节文件 (TypeID 3)\n"},
      {"plain words", "-: 文本文件 (TypeID 2)\n"},
      {torrent, "-: BT种子文件 (TypeID 2)\n"},
      {notTorrent, "-: 未知类型 (TypeID 0)\n"},
  };
  for (const auto& c : cases) {
    ProcessSettings redirected;
    redirected.input = c.input;
    const auto result = RunKindprobe({"-"}, redirected);
    EXPECT_EQ(result.exitCode, 0) << c.answer;
    EXPECT_EQ(result.out, c.answer);
  }
  ProcessSettings both;
  both.input = kAvi;
  EXPECT_EQ(RunKindprobe({"-f", "-", "-"}, both).exitCode, 2);

  testsupport::TempDir dir;
  const fs::path fifo = dir.path() / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const auto& [content, answer] : {std::pair{torrent, "BT种子文件 (TypeID 2)"},
                                        std::pair{notTorrent, "未知类型 (TypeID 0)"},
                                        // Of a stream only the ends are kept: the container's
                                        // sizes are not compared with zeros between them.
                                        std::pair{kAvi, "AVI文件 (TypeID 4)"}}) {
    std::thread writer(
        [&fifo, bytes = content] { std::ofstream(fifo, std::ios::binary) << bytes; });
    const auto named = RunKindprobe({"--explain", fifo.string()});
    writer.join();
    EXPECT_EQ(named.out, fifo.string() + ": " + answer + "\n");
  }
}

// A FIFO met in a walk or a list is never opened, so never waited on.
TEST(CliSpecialFiles, AFifoMetInAWalkNeverBlocksAndCannotBeExamined) {
  testsupport::TempDir dir;
  const fs::path fifo = dir.path() / "pipe.avi";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ProcessSettings bounded;
  bounded.timeout = std::chrono::seconds(20);
  const auto walked = RunKindprobe({"-r", dir.path().string()}, bounded);
  EXPECT_FALSE(walked.timedOut);
  EXPECT_EQ(walked.exitCode, 1);
  EXPECT_EQ(walked.out, fifo.string() + ": 未知类型 (TypeID 0)\n");
  EXPECT_EQ(walked.err, "kindprobe: " + fifo.string() + ": not a regular file\n");
}

// Paths of a list that share a directory are opened through it once it has been listed; the
// answers must be those each path gets alone, by its whole path.
TEST(CliLists, PathsOpenedThroughTheirListedDirectoryAnswerAsAlone) {
  testsupport::TempDir dir;
  std::vector<std::string> paths;
  for (int i = 0; i < 60; ++i) {
    const std::string name = "f" + std::to_string(100 + i);
    paths.push_back(dir.Write(name + (i % 2 ? ".avi" : ".png"), i % 2 ? kAvi : kPng).string());
  }
  // Past the point where the directory is listed: a FIFO (never opened, so never waited on),
  // a directory, a name that is not there, a link to a file, a link to nothing, a name that
  // is not UTF-8, and the same file twice.
  const fs::path fifo = dir.path() / "pipe.avi";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directory(dir.path() / "sub");
  fs::create_symlink(paths[1], dir.path() / "link.avi");
  fs::create_symlink(dir.path() / "gone", dir.path() / "dangling.avi");
  const auto raw = dir.Write("clip\xff.bin", kAvi);
  for (const char* name : {"pipe.avi", "sub", "missing.avi", "link.avi", "dangling.avi"}) {
    paths.insert(paths.begin() + 45, (dir.path() / name).string());
  }
  paths.push_back(raw.string());
  paths.push_back(paths[50]);
  paths.push_back(dir.path().string() + "/sub/..");
  std::string listed;
  for (const std::string& path : paths) listed += path + "\n";
  const auto list = dir.Write("list", listed);

  ProcessSettings bounded;
  bounded.timeout = std::chrono::seconds(60);
  const auto together = RunKindprobe({"-j", "1", "-f", list.string()}, bounded);
  ASSERT_FALSE(together.timedOut);
  std::string out;
  std::string err;
  for (const std::string& path : paths) {
    // Alone in a list of its own: a FIFO named as an argument would be read.
    const auto alone = RunKindprobe({"-f", dir.Write("one", path + "\n").string()}, bounded);
    ASSERT_FALSE(alone.timedOut) << path;
    out += alone.out;
    err += alone.err;
  }
  EXPECT_EQ(together.out, out);
  EXPECT_EQ(together.err, err);
  EXPECT_EQ(together.exitCode, 1);
  // The default's threads give the same lines.
  EXPECT_EQ(RunKindprobe({"-f", list.string()}, bounded).out, out);
}

TEST(CliSpecialFiles, ANameThatIsNotUtf8ReachesItsFile) {
  testsupport::TempDir dir;
  const std::string name = "clip\xff\xfe.bin";
  const auto path = dir.Write(name, kAvi);
  const auto result = RunKindprobe({path.string()});
  EXPECT_EQ(result.exitCode, 0);
  // The name is printed byte for byte as the file system has it.
  EXPECT_EQ(result.out, path.string() + ": AVI文件 (TypeID 4)\n");

  const auto walked = RunKindprobe({"-r", dir.path().string()});
  EXPECT_EQ(walked.exitCode, 0);
  EXPECT_EQ(walked.out, result.out);
}

TEST(CliLists, PathsFromAListFileInListOrder) {
  testsupport::TempDir dir;
  const auto a = dir.Write("a.png", kPng);
  const auto b = dir.Write("b.avi", kAvi);
  // Blank lines name no file.
  const auto list = dir.Write("list", b.string() + "\n\n" + a.string() + "\n");
  const auto result = RunKindprobe({"-f", list.string()});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, b.string() + ": AVI文件 (TypeID 4)\n" + a.string() +
                            ": PNG图像文件 (TypeID 2)\n");
}

TEST(CliLists, ArgumentsComeBeforeTheList) {
  testsupport::TempDir dir;
  const auto a = dir.Write("a.png", kPng);
  const auto b = dir.Write("b.avi", kAvi);
  const auto list = dir.Write("list", a.string());  // no final line end
  const auto result = RunKindprobe({"-b", "-f", list.string(), b.string()});
  EXPECT_EQ(result.out, "AVI文件 (TypeID 4)\nPNG图像文件 (TypeID 2)\n");
}

TEST(CliLists, StandardInputAndNulSeparatedNames) {
  testsupport::TempDir dir;
  // A name with a line end in it can only be given NUL-separated.
  const auto odd = dir.Write("two\nlines.avi", kAvi);
  const auto plain = dir.Write("plain.png", kPng);
  ProcessSettings settings;
  settings.input = odd.string() + std::string(1, '\0') + plain.string() + std::string(1, '\0');
  const auto result = RunKindprobe({"-0", "-f", "-", "--json"}, settings);
  EXPECT_EQ(result.exitCode, 0);
  const auto lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 2u) << result.out;
  EXPECT_NE(lines[0].find("two\\nlines.avi"), std::string::npos);
  EXPECT_NE(lines[0].find("\"typeId\":4"), std::string::npos);
  EXPECT_NE(lines[1].find("plain.png"), std::string::npos);

  ProcessSettings byLine;
  byLine.input = plain.string() + "\n" + (dir.path() / "gone").string() + "\n";
  const auto lined = RunKindprobe({"-b", "-f", "-"}, byLine);
  EXPECT_EQ(lined.exitCode, 1);
  EXPECT_EQ(lined.out, "PNG图像文件 (TypeID 2)\n未知类型 (TypeID 0)\n");
}

TEST(CliLists, ResultsFollowAPipeWithoutWaitingForItsEnd) {
  testsupport::TempDir dir;
  const auto first = dir.Write("first.png", kPng);
  const auto second = dir.Write("second.avi", kAvi);
  const auto marker = dir.path() / "writer-done";
  // The writer sends one path, waits, marks that it is done waiting, sends another. The
  // reader of kindprobe's output looks for the mark as soon as the first result arrives.
  const std::string script =
      "{ echo \"$2\"; sleep 3; touch \"$4\"; echo \"$3\"; } | \"$1\" -b -j \"$5\" -f - | "
      "{ IFS= read -r line; echo \"$line\"; if [ -e \"$4\" ]; then echo late; else echo early; fi; cat; }";
  for (const char* jobs : {"1", "2"}) {
    std::filesystem::remove(marker);
    const auto result = RunProcess("sh", {"-c", script, "sh", KINDPROBE_CLI_PATH, first.string(),
                                          second.string(), marker.string(), jobs});
    EXPECT_EQ(result.out, "PNG图像文件 (TypeID 2)\nearly\nAVI文件 (TypeID 4)\n") << "-j " << jobs;
  }
}

TEST(CliWalk, ProgressGoesToATerminalOnStandardErrorOnly) {
  if (!ProgramAvailable("script")) GTEST_SKIP() << "needs script(1) for a terminal";
  testsupport::TempDir dir;
  const auto a = dir.Write("a.txt", "text");
  const auto b = dir.Write("b.png", kPng);
  const auto results = dir.path() / "results";
  // script(1) gives the command a terminal; standard output goes to a file, standard error
  // stays on the terminal. The paths arrive slowly enough for the count to be shown.
  const std::string command = "{ echo '" + a.string() + "'; sleep 1; echo '" + b.string() +
                              "'; } | '" + KINDPROBE_CLI_PATH + "' -r -f - > '" +
                              results.string() + "'";
  const auto terminal = RunProcess("script", {"-qec", command, "/dev/null"});
  EXPECT_EQ(terminal.exitCode, 0);
  EXPECT_NE(terminal.out.find(" files examined"), std::string::npos) << terminal.out;
  std::ifstream in(results);
  const std::string written{std::istreambuf_iterator<char>(in), {}};
  EXPECT_EQ(written, a.string() + ": 文本文件 (TypeID 2)\n" + b.string() + ": PNG图像文件 (TypeID 2)\n");

  // The same run with standard error in a file shows no progress at all.
  const auto plain = RunProcess("sh", {"-c", command});
  EXPECT_EQ(plain.exitCode, 0);
  EXPECT_EQ(plain.err, "");
}

TEST(CliParallel, ManyThreadsPrintTheSameLinesInInputOrder) {
  testsupport::TempDir dir;
  const std::string contents[] = {kPng, kAvi, "text only", "", std::string("\x01\x02", 2),
                                  "<html>", std::string("\x1a\x45\xdf\xa3\x01", 5)};
  const char* extensions[] = {".png", ".txt", "", ".avi", ".html", ".dat", ".lnk"};
  std::string list;
  // More than two batches, listed in an order no walk would give.
  for (int i = 2599; i >= 0; i -= 1) {
    const std::string name = "f" + std::to_string(i) + extensions[i % 7];
    list += dir.Write("tree/" + std::to_string(i % 13) + "/" + name, contents[(i / 7) % 7]).string();
    list += '\n';
  }
  const auto listFile = dir.Write("list", list);
  const auto single = RunKindprobe({"-j", "1", "-f", listFile.string()});
  ASSERT_EQ(single.exitCode, 0);
  const auto lines = Lines(single.out);
  ASSERT_EQ(lines.size(), 2600u);
  // Line n is about the n-th listed path.
  EXPECT_EQ(lines.front().rfind((dir.path() / "tree/12/f2599").string() + ": ", 0), 0u);
  EXPECT_EQ(lines.back().rfind((dir.path() / "tree/0/f0.png").string() + ": ", 0), 0u);
  for (const char* jobs : {"2", "3", "8"}) {
    const auto parallel = RunKindprobe({"-j", jobs, "-f", listFile.string()});
    EXPECT_EQ(parallel.exitCode, 0);
    EXPECT_TRUE(parallel.out == single.out) << "-j " << jobs << " differs";
  }
  const auto byDefault = RunKindprobe({"--json", "-f", listFile.string()});
  const auto jsonSingle = RunKindprobe({"--json", "-j1", "-f", listFile.string()});
  EXPECT_TRUE(byDefault.out == jsonSingle.out);
  const auto walkedSingle = RunKindprobe({"-j1", "-r", (dir.path() / "tree").string()});
  const auto walkedParallel = RunKindprobe({"-j4", "-r", (dir.path() / "tree").string()});
  EXPECT_EQ(Lines(walkedSingle.out).size(), 2600u);
  EXPECT_TRUE(walkedSingle.out == walkedParallel.out);
}

}  // namespace
}  // namespace kindprobe::clitest
