// The owners every Windows file uses: each closes exactly once, whichever way ownership moves.
#include "platform/win32/unique_resource.h"

#include <gtest/gtest.h>
#include <unknwn.h>

#include <cwchar>

namespace kindprobe::platform::win32 {
namespace {

bool IsOpenHandle(HANDLE handle) {
  DWORD flags = 0;
  return ::GetHandleInformation(handle, &flags) != FALSE;
}

HANDLE NewEvent() { return ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }

TEST(UniqueResource, ClosesOnceWhicheverWayOwnershipMoves) {
  const HANDLE raw = NewEvent();
  ASSERT_NE(nullptr, raw);
  {
    UniqueHandle first(raw);
    UniqueHandle second(std::move(first));
    EXPECT_FALSE(first);
    ASSERT_TRUE(second);
    UniqueHandle third;
    third = std::move(second);
    EXPECT_EQ(raw, third.get());
    EXPECT_TRUE(IsOpenHandle(raw));
  }
  EXPECT_FALSE(IsOpenHandle(raw));
}

TEST(UniqueResource, ResetAndPutCloseWhatWasHeldReleaseDoesNot) {
  const HANDLE kept = NewEvent();
  const HANDLE replaced = NewEvent();
  ASSERT_TRUE(kept != nullptr && replaced != nullptr);
  UniqueHandle owner(replaced);
  owner.reset(kept);
  EXPECT_FALSE(IsOpenHandle(replaced));
  *owner.put() = NewEvent();
  EXPECT_FALSE(IsOpenHandle(kept));
  ASSERT_TRUE(owner);

  const HANDLE handedOut = owner.release();
  EXPECT_FALSE(owner);
  EXPECT_TRUE(IsOpenHandle(handedOut));
  UniqueHandle(handedOut).reset();
  EXPECT_FALSE(IsOpenHandle(handedOut));
}

TEST(UniqueResource, FileAndFindHandlesTreatInvalidHandleValueAsEmpty) {
  UniqueFindHandle search;
  EXPECT_EQ(INVALID_HANDLE_VALUE, search.get());
  EXPECT_FALSE(search);
  // A failed open leaves an empty owner that closes nothing.
  UniqueFileHandle file(::CreateFileW(L"Z:\\kindprobe\\no\\such\\file", GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_FALSE(file);
  EXPECT_FALSE(UniqueHandle());
}

TEST(UniqueResource, BstrKeepsEmbeddedNulsAndReportsItsLength) {
  const UniqueBstr text = UniqueBstr::From(L"a\0b", 3);
  ASSERT_TRUE(text);
  EXPECT_EQ(3u, text.size());
  EXPECT_EQ(0, std::wmemcmp(L"a\0b", text.get(), 3));
  EXPECT_EQ(0u, UniqueBstr().size());
}

// Counts its references, and answers only IUnknown.
class CountedObject final : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (!IsEqualIID(iid, IID_IUnknown)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = this;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override { return --references_; }
  ULONG references() const { return references_; }

 private:
  ULONG references_ = 1;
};

TEST(ComPtr, CopiesAddAReferenceMovesDoNot) {
  CountedObject object;
  {
    ComPtr<IUnknown> first(&object);
    EXPECT_EQ(1u, object.references());
    ComPtr<IUnknown> copy = first;
    EXPECT_EQ(2u, object.references());
    ComPtr<IUnknown> moved = std::move(copy);
    EXPECT_EQ(2u, object.references());
    EXPECT_FALSE(copy);
    moved = first;
    EXPECT_EQ(2u, object.references());
    moved = ComPtr<IUnknown>::Copy(&object);
    EXPECT_EQ(2u, object.references());
    IUnknown* handedOut = moved.release();
    EXPECT_EQ(2u, object.references());
    ComPtr<IUnknown> adopt(handedOut);
  }
  EXPECT_EQ(0u, object.references());
}

TEST(ComPtr, QueryHelpersLeaveNothingBehindOnFailure) {
  CountedObject object;
  ComPtr<IUnknown> owner(&object);
  ComPtr<IUnknown> same;
  ASSERT_EQ(S_OK, owner.QueryTo(IID_IUnknown, &same));
  EXPECT_EQ(2u, object.references());
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(E_NOINTERFACE, owner.QueryTo(&factory));
  EXPECT_FALSE(factory);

  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, ComPtr<IUnknown>().CopyTo(IID_IUnknown, &out));
  EXPECT_EQ(nullptr, out);
  EXPECT_EQ(E_POINTER, owner.CopyTo(IID_IUnknown, nullptr));
  ASSERT_EQ(S_OK, owner.CopyTo(IID_IUnknown, &out));
  ComPtr<IUnknown> adopted(static_cast<IUnknown*>(out));
  EXPECT_EQ(3u, object.references());
  // put() gives back the old reference before the callee writes.
  *same.put() = nullptr;
  EXPECT_EQ(2u, object.references());
}

}  // namespace
}  // namespace kindprobe::platform::win32
