// Eight threads checking files through the one shared object at once.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "kindprobe_dll.h"
#include "test_files.h"

namespace kindprobe::wintest {
namespace {

constexpr int kThreads = 8;
constexpr int kChecksPerThread = 1500;

struct Outcome {
  long typeId;
  std::wstring description;
};

struct Workload {
  ICheckFile* checker = nullptr;
  std::vector<std::wstring> paths;
  std::set<long> possibleTypeIds;
  std::set<std::wstring> possibleDescriptions;
  std::atomic<int> failures{0};
  std::atomic<int> checks{0};
};

struct ThreadStart {
  Workload* work;
  int first;  // each thread starts at another path
};

DWORD WINAPI CheckRepeatedly(void* parameter) {
  const ThreadStart start = *static_cast<ThreadStart*>(parameter);
  Workload& work = *start.work;
  for (int i = 0; i < kChecksPerThread; ++i) {
    const std::wstring& path = work.paths[(start.first + i) % work.paths.size()];
    const UniqueBstr bstr = MakeBstr(path);
    long typeId = -1;
    UniqueBstr description;
    if (work.checker->CheckFile(bstr.get()) != S_OK || work.checker->GetTypeID(&typeId) != S_OK ||
        work.checker->GetErrorInfo(description.put()) != S_OK ||
        work.possibleTypeIds.count(typeId) == 0 ||
        work.possibleDescriptions.count(ToWString(description)) == 0) {
      ++work.failures;
    }
    ++work.checks;
  }
  return 0;
}

void RunThreads(Workload& work) {
  std::array<ThreadStart, kThreads> starts;
  std::array<UniqueHandle, kThreads> owners;
  std::array<HANDLE, kThreads> threads{};
  for (int t = 0; t < kThreads; ++t) {
    starts[t] = {&work, t};
    owners[t].reset(::CreateThread(nullptr, 0, &CheckRepeatedly, &starts[t], 0, nullptr));
    ASSERT_TRUE(owners[t]);
    threads[t] = owners[t].get();
  }
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForMultipleObjects(kThreads, threads.data(), TRUE, 300000));
}

class Concurrency : public ::testing::Test {
 protected:
  void SetUp() override {
    checker_ = KindprobeDll::Get().CreateCheckFile();
    ASSERT_TRUE(checker_);
  }

  // Each file once on its own, to learn what a check of it gives.
  Outcome Alone(const std::wstring& path) {
    const long typeId = CheckPath(checker_.get(), path);
    return {typeId, ErrorInfoOf(checker_.get())};
  }

  TestDirectory dir_;
  ComPtr<ICheckFile> checker_;
};

TEST_F(Concurrency, EveryResultReadBackIsOneThatSomeCheckProduced) {
  Workload work;
  work.checker = checker_.get();
  work.paths = {dir_.Write(L"a.avi", AviBytes()), dir_.Write(L"b.mp3", Mp3Bytes()),
                dir_.Write(L"c.txt", PlainTextBytes()), dir_.Write(L"d.lnk", {}),
                dir_.Write(L"e.part", AviBytes()), dir_.path() + L"\\missing.avi"};
  for (const std::wstring& path : work.paths) {
    const Outcome outcome = Alone(path);
    work.possibleTypeIds.insert(outcome.typeId);
    work.possibleDescriptions.insert(outcome.description);
  }
  ASSERT_EQ(6u, work.possibleDescriptions.size());

  RunThreads(work);
  EXPECT_EQ(kThreads * kChecksPerThread, work.checks.load());
  EXPECT_EQ(0, work.failures.load());
}

TEST_F(Concurrency, ChecksOfOneFileAllGiveThatFilesResult) {
  Workload work;
  work.checker = checker_.get();
  work.paths = {dir_.Write(L"影片.avi", AviBytes())};
  const Outcome outcome = Alone(work.paths[0]);
  ASSERT_EQ(4, outcome.typeId);
  work.possibleTypeIds = {outcome.typeId};
  work.possibleDescriptions = {outcome.description};

  RunThreads(work);
  EXPECT_EQ(kThreads * kChecksPerThread, work.checks.load());
  EXPECT_EQ(0, work.failures.load());
}

}  // namespace
}  // namespace kindprobe::wintest
