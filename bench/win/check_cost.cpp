// Prints the cost of one check of a small, cached file: through the engine's FileClassifier
// linked in directly and, on Windows, through Kindprobe.dll's ICheckFile method table (the way
// the player calls it). Built natively it gives the native engine's figure for the same file.
//   check_cost [iterations] [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engine/file_classifier.h"
#include "platform/utf.h"

#ifdef _WIN32
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include "kindprobe.h"
#include "platform/win32/unique_resource.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

// A small AVI file: RIFF header, AVI form, zero padding to 600 bytes.
std::vector<char> SmallAvi() {
  std::vector<char> bytes = {'R', 'I', 'F', 'F', 0x24, 0x10, 0, 0, 'A', 'V', 'I', ' ', 'L', 'I', 'S', 'T'};
  bytes.resize(600, 0);
  return bytes;
}

struct Figures {
  double bestNs;
  double medianNs;
};

// Times `rounds` rounds of `iterations` calls of `check`, after one warm-up round.
template <typename Check>
Figures Measure(int iterations, int rounds, Check check) {
  for (int i = 0; i < iterations; ++i) check();
  std::vector<double> perCall;
  for (int round = 0; round < rounds; ++round) {
    const auto start = Clock::now();
    for (int i = 0; i < iterations; ++i) check();
    const std::chrono::duration<double, std::nano> elapsed = Clock::now() - start;
    perCall.push_back(elapsed.count() / iterations);
  }
  std::sort(perCall.begin(), perCall.end());
  return {perCall.front(), perCall[perCall.size() / 2]};
}

void Print(const char* what, const Figures& figures) {
  std::printf("%-48s %10.2f %10.2f\n", what, figures.bestNs / 1000.0, figures.medianNs / 1000.0);
}

#ifdef _WIN32
std::wstring ProgramDirectory() {
  wchar_t buffer[MAX_PATH * 4] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
  std::wstring path(buffer, length);
  return path.substr(0, path.find_last_of(L"\\/"));
}

using kindprobe::platform::win32::ComPtr;
using kindprobe::platform::win32::UniqueBstr;

// The shared CheckFile object of Kindprobe.dll beside this program, or null. The module stays
// loaded for the rest of the process.
ComPtr<ICheckFile> OpenComponent() {
  HMODULE module = ::LoadLibraryW((ProgramDirectory() + L"\\Kindprobe.dll").c_str());
  if (module == nullptr) return {};
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto getClassObject = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(::GetProcAddress(module, "DllGetClassObject")));
  ComPtr<IClassFactory> factory;
  if (getClassObject == nullptr ||
      FAILED(getClassObject(CLSID_CheckFile, IID_IClassFactory, factory.out()))) {
    return {};
  }
  ComPtr<ICheckFile> checker;
  factory->CreateInstance(nullptr, IID_ICheckFile, checker.out());
  return checker;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  const int iterations = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  const std::string fileName = "check_cost_sample.avi";
  {
    const std::vector<char> bytes = SmallAvi();
    std::ofstream out(fileName, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  const std::u16string path = kindprobe::platform::Utf8ToUtf16(fileName);

  std::printf("one check of a cached 600-byte AVI file, %d calls x %d rounds\n", iterations,
              rounds);
  std::printf("%-48s %10s %10s\n", "", "best us", "median us");

  kindprobe::FileClassifier classifier;
  classifier.CheckFile(path.c_str());
  if (classifier.result().typeId != kindprobe::TypeIDInvalidMedia) {
    std::fprintf(stderr, "the sample was not recognised: no rule text?\n");
    return 1;
  }
  Print("engine (FileClassifier::CheckFile)",
        Measure(iterations, rounds, [&] { classifier.CheckFile(path.c_str()); }));

#ifdef _WIN32
  const ComPtr<ICheckFile> checker = OpenComponent();
  if (!checker) {
    std::fprintf(stderr, "cannot open the component in Kindprobe.dll\n");
    return 1;
  }
  const UniqueBstr pathText = UniqueBstr::From(reinterpret_cast<const wchar_t*>(path.c_str()));
  BSTR bstrPath = pathText.get();
  long typeId = -1;
  checker->CheckFile(bstrPath);
  checker->GetTypeID(&typeId);
  if (typeId != kindprobe::TypeIDInvalidMedia) {
    std::fprintf(stderr, "the component did not recognise the sample\n");
    return 1;
  }
  Print("Kindprobe.dll ICheckFile::CheckFile",
        Measure(iterations, rounds, [&] { checker->CheckFile(bstrPath); }));
  Print("Kindprobe.dll CheckFile+GetTypeID+GetErrorInfo", Measure(iterations, rounds, [&] {
          checker->CheckFile(bstrPath);
          checker->GetTypeID(&typeId);
          UniqueBstr description;
          checker->GetErrorInfo(description.put());
        }));
#endif
  std::remove(fileName.c_str());
  return 0;
}
