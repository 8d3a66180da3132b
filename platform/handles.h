#pragma once
// Move-only owners for Win32 handles: one type per handle kind, copy
// deleted, so a handle is closed exactly once.
#include <windows.h>
#include <objbase.h>

#include <string>
#include <utility>

namespace lk {

template <typename T, typename Close, T Invalid = T{}>
class UniqueAny {
 public:
  UniqueAny() = default;
  explicit UniqueAny(T value) : value_(value) {}
  ~UniqueAny() { reset(); }
  UniqueAny(UniqueAny&& other) noexcept : value_(std::exchange(other.value_, Invalid)) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(std::exchange(other.value_, Invalid));
    return *this;
  }
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Invalid; }
  T release() { return std::exchange(value_, Invalid); }
  void reset(T value = Invalid) {
    if (value_ != Invalid) Close{}(value_);
    value_ = value;
  }
  // For out-parameters: releases the current value first.
  T* put() {
    reset();
    return &value_;
  }

 private:
  T value_ = Invalid;
};

struct CloseHandleFn {
  void operator()(HANDLE h) const { ::CloseHandle(h); }
};
struct FindCloseFn {
  void operator()(HANDLE h) const { ::FindClose(h); }
};
struct FreeLibraryFn {
  void operator()(HMODULE h) const { ::FreeLibrary(h); }
};
struct DeleteObjectFn {
  void operator()(HGDIOBJ h) const { ::DeleteObject(h); }
};

// Kernel objects whose failure value is null (mutexes, processes, threads).
using UniqueHandle = UniqueAny<HANDLE, CloseHandleFn>;

// CreateFileW and friends fail with INVALID_HANDLE_VALUE.
struct UniqueFile {
  UniqueFile() = default;
  explicit UniqueFile(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  HANDLE get() const { return h_.get(); }
  explicit operator bool() const { return static_cast<bool>(h_); }
  void reset(HANDLE h = nullptr) { h_.reset(h == INVALID_HANDLE_VALUE ? nullptr : h); }

 private:
  UniqueHandle h_;
};

using UniqueModule = UniqueAny<HMODULE, FreeLibraryFn>;
using UniqueGdiObject = UniqueAny<HGDIOBJ, DeleteObjectFn>;

// Restores the previously selected GDI object of a device context.
class SelectionGuard {
 public:
  SelectionGuard(HDC dc, HGDIOBJ obj) : dc_(dc), old_(::SelectObject(dc, obj)) {}
  ~SelectionGuard() {
    if (old_) ::SelectObject(dc_, old_);
  }
  SelectionGuard(const SelectionGuard&) = delete;
  SelectionGuard& operator=(const SelectionGuard&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// COM initialisation that is undone only when it succeeded.
class ComInit {
 public:
  explicit ComInit(DWORD model = COINIT_APARTMENTTHREADED)
      : hr_(::CoInitializeEx(nullptr, model)) {}
  ~ComInit() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  ComInit(const ComInit&) = delete;
  ComInit& operator=(const ComInit&) = delete;
  HRESULT result() const { return hr_; }

 private:
  HRESULT hr_;
};

// Owns one reference to a COM interface.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  // For out-parameters: releases the current reference first.
  T** put() {
    reset();
    return &p_;
  }
  // For CoCreateInstance and QueryInterface, which take void**.
  void** put_void() { return reinterpret_cast<void**>(put()); }

 private:
  T* p_ = nullptr;
};

// Windows error text for a GetLastError() code, without the trailing newline.
std::string SystemErrorText(DWORD code);

// Throws Error with the system's text for code, or for GetLastError().
[[noreturn]] void ThrowSystemError(DWORD code);
[[noreturn]] void ThrowLastError();

}  // namespace lk
