// Kindprobe.dll and KindprobeDiagnosis.dll in one registry: each module's registration and
// removal leaves the other's entries as they were, in whichever order they are run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kindprobe.h"
#include "kindprobe_diagnosis.h"
#include "kindprobe_dll.h"
#include "test_files.h"
#include "winreg_support.h"

namespace kindprobe::wintest {
namespace {

// The Diagnosis entries, by the names a script and the proxy/stub look up.
const std::vector<std::wstring> kDiagnosisKeys = {
    L"Kindprobe.Diagnosis", L"Kindprobe.Diagnosis.1", L"CLSID\\" + RegistryForm(CLSID_Diagnosis),
    L"Interface\\" + RegistryForm(IID_IDiagnosis), L"TypeLib\\" + RegistryForm(LIBID_KindprobeDiagnosisLib)};
const std::vector<std::wstring> kCheckFileKeys = {L"Kindprobe.CheckFile", L"Kindprobe.CheckFile.1"};

std::wstring DiagnosisModulePath() { return ProgramDirectory() + L"\\KindprobeDiagnosis.dll"; }

TEST(TwoModules, DiagnosisRegistersItsOwnEntriesAndRemovesThem) {
  ASSERT_EQ(0u, Regsvr32(DiagnosisModulePath()));
  EXPECT_EQ(ClassesRootString(L"Kindprobe.Diagnosis\\CLSID"), RegistryForm(CLSID_Diagnosis));
  // Marshalled by the module's own proxy/stub.
  EXPECT_EQ(ClassesRootString(kDiagnosisKeys[3] + L"\\ProxyStubClsid32"), RegistryForm(IID_IDiagnosis));
  EXPECT_EQ(ClassesRootString(kDiagnosisKeys[2] + L"\\InprocServer32", L"ThreadingModel"),
            std::wstring(L"Both"));
  ASSERT_EQ(0u, Regsvr32(DiagnosisModulePath(), true));
  for (const std::wstring& key : kDiagnosisKeys) EXPECT_FALSE(ClassesRootKeyExists(key)) << key;
}

TEST(TwoModules, EitherOrderLeavesNoKeyOfEither) {
  const std::wstring checkFile = BuiltModulePath();
  const std::wstring diagnosis = DiagnosisModulePath();
  struct Order {
    const char* name;
    std::wstring firstIn, secondIn, firstOut, secondOut;
  };
  const std::vector<Order> orders = {
      {"in K D, out K D", checkFile, diagnosis, checkFile, diagnosis},
      {"in K D, out D K", checkFile, diagnosis, diagnosis, checkFile},
      {"in D K, out K D", diagnosis, checkFile, checkFile, diagnosis},
      {"in D K, out D K", diagnosis, checkFile, diagnosis, checkFile},
  };
  TestDirectory scratch;
  const std::wstring exportFile = scratch.path() + L"\\classes.reg";
  const std::vector<char> before = ExportClassesRoot(exportFile);
  ASSERT_FALSE(before.empty());
  for (const Order& order : orders) {
    SCOPED_TRACE(order.name);
    ASSERT_EQ(0u, Regsvr32(order.firstIn));
    ASSERT_EQ(0u, Regsvr32(order.secondIn));
    for (const auto* keys : {&kDiagnosisKeys, &kCheckFileKeys}) {
      for (const std::wstring& key : *keys) EXPECT_TRUE(ClassesRootKeyExists(key)) << key;
    }
    ASSERT_EQ(0u, Regsvr32(order.firstOut, true));
    ASSERT_EQ(0u, Regsvr32(order.secondOut, true));
    for (const auto* keys : {&kDiagnosisKeys, &kCheckFileKeys}) {
      for (const std::wstring& key : *keys) EXPECT_FALSE(ClassesRootKeyExists(key)) << key;
    }
    EXPECT_TRUE(before == ExportClassesRoot(exportFile)) << "HKEY_CLASSES_ROOT changed";
  }
}

TEST(TwoModules, CheckFileEntriesUnchangedByTheDiagnosisModule) {
  TestDirectory scratch;
  const std::wstring exportFile = scratch.path() + L"\\classes.reg";
  ASSERT_EQ(0u, Regsvr32(BuiltModulePath()));
  const std::vector<char> alone = ExportClassesRoot(exportFile);
  ASSERT_EQ(0u, Regsvr32(DiagnosisModulePath()));
  ASSERT_EQ(0u, Regsvr32(DiagnosisModulePath(), true));
  const std::vector<char> afterDiagnosis = ExportClassesRoot(exportFile);
  ASSERT_EQ(0u, Regsvr32(BuiltModulePath(), true));
  EXPECT_TRUE(alone == afterDiagnosis) << "Kindprobe.dll's entries differ once the other module came and went";
}

}  // namespace
}  // namespace kindprobe::wintest
