// kindprobe.exe under Windows: wide-character arguments in, UTF-8 lines out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kindprobe_dll.h"
#include "test_files.h"

namespace kindprobe::wintest {
namespace {

struct RunResult {
  DWORD exitCode = ~0u;
  std::string output;  // standard output, as bytes
};

std::wstring Quoted(const std::wstring& argument) { return L"\"" + argument + L"\""; }

// Runs kindprobe.exe (copied beside the tests) and collects its standard output.
RunResult RunKindprobe(const std::vector<std::wstring>& arguments) {
  RunResult result;
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  UniqueHandle readEnd;
  UniqueHandle writeEnd;
  if (!::CreatePipe(readEnd.put(), writeEnd.put(), &inherit, 0)) return result;
  ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

  std::wstring commandLine = Quoted(ProgramDirectory() + L"\\kindprobe.exe");
  for (const std::wstring& argument : arguments) commandLine += L" " + Quoted(argument);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd.get();
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process = {};
  const BOOL started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
  // Only the child may hold the write end, or the read below never sees the end of the output.
  writeEnd.reset();
  if (started) {
    const UniqueHandle processThread(process.hThread);
    const UniqueHandle processHandle(process.hProcess);
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(readEnd.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
      result.output.append(buffer, got);
    }
    ::WaitForSingleObject(process.hProcess, 60000);
    ::GetExitCodeProcess(process.hProcess, &result.exitCode);
  }
  return result;
}

std::string Utf8(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
  return out;
}

std::string Line(const std::wstring& path, const wchar_t* description, int typeId) {
  return Utf8(path + L": " + description + L" (TypeID " + std::to_wstring(typeId) + L")");
}

TEST(CommandLine, TakesWideArgumentsAndWritesUtf8) {
  TestDirectory dir;
  const std::wstring avi = dir.Write(L"电影 第一集.avi", AviBytes());
  const std::wstring mp3 = dir.Write(L"Ünïcødé.mp3", Mp3Bytes());
  const std::wstring part = dir.Write(L"下载\\未完成.part", AviBytes());
  const RunResult run = RunKindprobe({avi, mp3, part});
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_NE(std::string::npos, run.output.find(Line(avi, kAviText, 4))) << run.output;
  EXPECT_NE(std::string::npos, run.output.find(Line(mp3, kMp3Text, 4))) << run.output;
  EXPECT_NE(std::string::npos, run.output.find(Line(part, kDownloadText, 2))) << run.output;
}

TEST(CommandLine, ReportsPathsItCouldNotExamine) {
  TestDirectory dir;
  const std::wstring missing = dir.path() + L"\\不存在.avi";
  const RunResult run = RunKindprobe({missing});
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_NE(std::string::npos, run.output.find(Line(missing, kUnknownText, 0))) << run.output;
}

TEST(CommandLine, WalksDirectoriesInNameOrderOnlyWhenAsked) {
  TestDirectory dir;
  const std::wstring second = dir.Write(L"b\\深处\\z.mp3", Mp3Bytes());
  const std::wstring first = dir.Write(L"a.avi", AviBytes());
  const std::wstring third = dir.Write(L"c.avi", AviBytes());
  const RunResult walked = RunKindprobe({L"-r", dir.path()});
  EXPECT_EQ(0u, walked.exitCode);
  EXPECT_EQ(Line(first, kAviText, 4) + "\n" + Line(second, kMp3Text, 4) + "\n" +
                Line(third, kAviText, 4) + "\n",
            walked.output);

  const RunResult unwalked = RunKindprobe({dir.path() + L"\\b"});
  EXPECT_EQ(1u, unwalked.exitCode);
  EXPECT_EQ(Line(dir.path() + L"\\b", kUnknownText, 0) + "\n", unwalked.output);
}

}  // namespace
}  // namespace kindprobe::wintest
