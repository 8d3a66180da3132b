#pragma once
// The small Win32 helper layer every Windows file uses: move-only owners,
// one type per handle kind (copy deleted, so a handle is closed exactly
// once), COM initialisation and COM references, and the system's error
// texts. Look here before writing a local owner or guard.
#include <windows.h>
// After <windows.h>; the build defines WIN32_LEAN_AND_MEAN, so COM, OLE and
// BSTRs come in explicitly.
#include <ole2.h>

#include <string>
#include <string_view>
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
struct DeleteDcFn {
  void operator()(HDC dc) const { ::DeleteDC(dc); }
};
struct DestroyMenuFn {
  void operator()(HMENU menu) const { ::DestroyMenu(menu); }
};
struct LocalFreeFn {
  template <typename P>
  void operator()(P p) const {
    ::LocalFree(reinterpret_cast<HLOCAL>(p));
  }
};
struct SysFreeStringFn {
  void operator()(BSTR b) const { ::SysFreeString(b); }
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
using UniqueMenu = UniqueAny<HMENU, DestroyMenuFn>;

// GDI objects, one type per kind so no cast is needed at the calls.
using UniqueGdiObject = UniqueAny<HGDIOBJ, DeleteObjectFn>;
using UniqueBitmap = UniqueAny<HBITMAP, DeleteObjectFn>;
using UniqueFont = UniqueAny<HFONT, DeleteObjectFn>;
using UniqueBrush = UniqueAny<HBRUSH, DeleteObjectFn>;
// A device context of our own making (CreateCompatibleDC).
using UniqueDc = UniqueAny<HDC, DeleteDcFn>;

// Memory the system allocated with LocalAlloc for the caller
// (FormatMessageW's buffer, CommandLineToArgvW's array).
template <typename P>
using UniqueLocal = UniqueAny<P, LocalFreeFn>;

// A BSTR owned by us (SysFreeString; null is the empty text).
using UniqueBstr = UniqueAny<BSTR, SysFreeStringFn>;
// A BSTR of the UTF-8 text; throws Error when no memory is left.
UniqueBstr MakeBstr(std::string_view utf8);
// A BSTR from COM as UTF-8 at once; null reads as the empty text.
std::string Utf8FromBstr(BSTR b);

// The device context of a window's client area (GetDC), released with it.
class WindowDc {
 public:
  explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
  ~WindowDc() {
    if (dc_) ::ReleaseDC(hwnd_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// BeginPaint and EndPaint of one WM_PAINT.
class PaintDc {
 public:
  explicit PaintDc(HWND hwnd) : hwnd_(hwnd), dc_(::BeginPaint(hwnd, &ps_)) {}
  ~PaintDc() { ::EndPaint(hwnd_, &ps_); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

// Selects a GDI object into a device context and restores the previously
// selected one at the end of the scope.
class SelectionGuard {
 public:
  SelectionGuard(HDC dc, HGDIOBJ obj) : dc_(dc), old_(::SelectObject(dc, obj)) {}
  ~SelectionGuard() {
    if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
  }
  SelectionGuard(const SelectionGuard&) = delete;
  SelectionGuard& operator=(const SelectionGuard&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// COM for the calling thread, undone only when it succeeded, so a caller's
// own initialisation stays as it was. kOle is OleInitialize: COM in a
// single-threaded apartment plus OLE proper (in-place activation, drag and
// drop, the clipboard), which the web browser control needs.
class ComInit {
 public:
  enum Apartment { kSingleThreaded, kMultiThreaded, kOle };
  explicit ComInit(Apartment apartment = kSingleThreaded);
  ~ComInit();
  ComInit(const ComInit&) = delete;
  ComInit& operator=(const ComInit&) = delete;
  HRESULT result() const { return hr_; }

 private:
  Apartment apartment_;
  HRESULT hr_;
};

// Owns one reference to a COM interface.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  // A new reference to p (AddRef); null stays null.
  static ComPtr Share(T* p) {
    ComPtr out;
    out.p_ = p;
    if (p) p->AddRef();
    return out;
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  // Takes over a reference the caller owns.
  void attach(T* p) {
    reset();
    p_ = p;
  }
  // Hands the reference to the caller.
  T* detach() { return std::exchange(p_, nullptr); }
  // For out-parameters: releases the current reference first.
  T** put() {
    reset();
    return &p_;
  }
  // For CoCreateInstance and QueryInterface, which take void**.
  void** put_void() { return reinterpret_cast<void**>(put()); }

  // The object's interface U (QueryInterface), or null when it has none.
  template <typename U>
  ComPtr<U> As() const {
    ComPtr<U> out;
    if (p_ && FAILED(p_->QueryInterface(__uuidof(U), out.put_void()))) out.reset();
    return out;
  }

 private:
  T* p_ = nullptr;
};

// The system's text for an error code (a GetLastError() value or an
// HRESULT), without the trailing line break. With `module`, that module's
// message table is searched first (WinHTTP keeps the texts of its 12xxx
// codes in winhttp.dll). Where neither has a text: "System error 5" for a
// Win32 code, "System error 0x80004005" for an HRESULT (high bit set).
std::string SystemErrorText(DWORD code, HMODULE module = nullptr);
// Whether the system (or module) has a text of its own for code.
bool HasSystemErrorText(DWORD code, HMODULE module = nullptr);

// Throw Error with the system's text for code, for GetLastError(), or for a
// failed HRESULT. A non-empty context comes first: "CreateWindowExW: ...".
[[noreturn]] void ThrowSystemError(DWORD code, std::string_view context = {});
[[noreturn]] void ThrowLastError(std::string_view context = {});
void ThrowIfFailed(HRESULT hr, std::string_view context = {});

}  // namespace lk
