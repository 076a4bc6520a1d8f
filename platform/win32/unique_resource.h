// The one way Windows code here owns what it must give back: a move-only owner per kind of
// resource, closed by the one call that kind needs, and a COM pointer. Code outside this folder
// never calls a release function itself.
#pragma once

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <cstddef>
#include <utility>

namespace kindprobe::platform::win32 {

// Owns one value of `Traits::Type`; `Traits` names the value that means "nothing" and the call
// that gives a value back.
template <typename Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;

  UniqueResource() noexcept = default;
  explicit UniqueResource(Type adopted) noexcept : value_(adopted) {}
  ~UniqueResource() { reset(); }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Type get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Traits::Invalid(); }

  // Closes what is held and takes `adopted`.
  void reset(Type adopted = Traits::Invalid()) noexcept {
    const Type old = std::exchange(value_, adopted);
    if (old != Traits::Invalid()) Traits::Close(old);
  }
  // Hands the value to the caller, who closes it.
  [[nodiscard]] Type release() noexcept { return std::exchange(value_, Traits::Invalid()); }
  // For an out parameter: closes what is held and lets the callee write the new value.
  Type* put() noexcept {
    reset();
    return &value_;
  }

 private:
  Type value_ = Traits::Invalid();
};

namespace traits {

struct RegistryKey {
  using Type = HKEY;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type key) noexcept { ::RegCloseKey(key); }
};

// Kernel objects whose creator answers null on failure (threads, events, processes, pipes).
struct KernelHandle {
  using Type = HANDLE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type handle) noexcept { ::CloseHandle(handle); }
};

// Kernel objects whose creator answers INVALID_HANDLE_VALUE on failure (CreateFileW).
struct FileHandle {
  using Type = HANDLE;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type handle) noexcept { ::CloseHandle(handle); }
};

struct FindHandle {
  using Type = HANDLE;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type handle) noexcept { ::FindClose(handle); }
};

struct Module {
  using Type = HMODULE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type module) noexcept { ::FreeLibrary(module); }
};

struct Bstr {
  using Type = BSTR;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type text) noexcept { ::SysFreeString(text); }
};

template <typename T>
struct CoTaskMem {
  using Type = T*;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type memory) noexcept { ::CoTaskMemFree(memory); }
};

}  // namespace traits

using UniqueRegKey = UniqueResource<traits::RegistryKey>;
using UniqueHandle = UniqueResource<traits::KernelHandle>;
using UniqueFileHandle = UniqueResource<traits::FileHandle>;
using UniqueFindHandle = UniqueResource<traits::FindHandle>;
using UniqueModule = UniqueResource<traits::Module>;
template <typename T>
using UniqueCoTaskMem = UniqueResource<traits::CoTaskMem<T>>;

// A BSTR owner that can also make one and read its length.
class UniqueBstr : public UniqueResource<traits::Bstr> {
 public:
  using UniqueResource::UniqueResource;
  // A copy of `text`; null (check with operator bool) when out of memory.
  static UniqueBstr From(const wchar_t* text) noexcept {
    return UniqueBstr(::SysAllocString(text));
  }
  static UniqueBstr From(const wchar_t* text, std::size_t length) noexcept {
    return UniqueBstr(::SysAllocStringLen(text, static_cast<UINT>(length)));
  }
  std::size_t size() const noexcept { return ::SysStringLen(get()); }
};

// Holds one reference to a COM object.
template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  // Takes over a reference the caller already holds.
  explicit ComPtr(T* adopted) noexcept : p_(adopted) {}
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr& other) noexcept : p_(other.p_) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComPtr& operator=(const ComPtr& other) noexcept {
    if (this != &other) ComPtr(other).swap(*this);
    return *this;
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) reset(std::exchange(other.p_, nullptr));
    return *this;
  }

  // A new reference to `object` (AddRef), beside the caller's own.
  static ComPtr Copy(T* object) noexcept {
    if (object != nullptr) object->AddRef();
    return ComPtr(object);
  }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  void reset(T* adopted = nullptr) noexcept {
    T* old = std::exchange(p_, adopted);
    if (old != nullptr) old->Release();
  }
  [[nodiscard]] T* release() noexcept { return std::exchange(p_, nullptr); }
  void swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

  // Out parameters: release what is held and let the callee write a new reference; `out` for
  // the ones typed void**.
  T** put() noexcept {
    reset();
    return &p_;
  }
  void** out() noexcept { return reinterpret_cast<void**>(put()); }

  // QueryInterface into another owner; `*result` is empty on failure.
  template <typename U>
  HRESULT QueryTo(REFIID iid, ComPtr<U>* result) const noexcept {
    if (p_ == nullptr) {
      result->reset();
      return E_POINTER;
    }
    return p_->QueryInterface(iid, result->out());
  }
  template <typename U>
  HRESULT QueryTo(ComPtr<U>* result) const noexcept {
    return QueryTo(__uuidof(U), result);
  }
  // QueryInterface for an out parameter of an interface method.
  HRESULT CopyTo(REFIID iid, void** object) const noexcept {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (p_ == nullptr) return E_NOINTERFACE;
    return p_->QueryInterface(iid, object);
  }

 private:
  T* p_ = nullptr;
};

}  // namespace kindprobe::platform::win32
