#pragma once

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <utility>

#include "platform/win32_system.h"

namespace quillgate::win32 {

// The one owner of `T`, closed with `Close` when it ends or takes another. Holds nothing when
// null or `Invalid` (-1 for calls failing INVALID_HANDLE_VALUE).
template <typename T, auto Close, std::intptr_t Invalid = 0>
class Holder {
 public:
  Holder() = default;
  explicit Holder(T value) : value_(value) {}
  Holder(Holder&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
  Holder& operator=(Holder&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.value_, nullptr));
    return *this;
  }
  ~Holder() { Reset(); }

  T Get() const { return value_; }
  T operator->() const { return value_; }
  bool Valid() const { return value_ && value_ != reinterpret_cast<T>(Invalid); }
  void Reset(T value = nullptr) {
    if (Valid()) std::invoke(Close, value_);  // a function, or a member such as Release
    value_ = value;
  }
  T* Out() {  // where a creating call stores what it made
    Reset();
    return &value_;
  }

 private:
  T value_ = nullptr;
};

// Via DLLs not imported (see win32_system.h), loaded by the time what they handed out is let go.
inline void FreeTaskMemory(void* memory) {
  static const auto free = SystemFunction<decltype(CoTaskMemFree)>(L"ole32.dll", "CoTaskMemFree");
  if (free) free(memory);
}
inline void FinishDrop(HDROP drop) {
  static const auto finish = SystemFunction<decltype(DragFinish)>(L"shell32.dll", "DragFinish");
  if (finish) finish(drop);
}
// ReleaseDC wants the window too, which the DC knows.
inline void ReleaseWindowDc(HDC dc) {
  ReleaseDC(WindowFromDC(dc), dc);
}

using FileHandle = Holder<HANDLE, CloseHandle, -1>;  // also threads and file mappings
using FindHandle = Holder<HANDLE, FindClose, -1>;    // a listing from FindFirstFileExW
template <typename T>
using TaskMemory = Holder<T*, FreeTaskMemory>;  // what the shell allocated for the caller
template <typename T>
using ComPtr = Holder<T*, &T::Release>;   // one reference
using Icon = Holder<HICON, DestroyIcon>;  // one the program loaded itself, not a shared one
using DropHandle = Holder<HDROP, FinishDrop>;
using WindowDc = Holder<HDC, ReleaseWindowDc>;  // from GetDC

// COM on this thread for the holder's lifetime, balanced only if the initialisation took (as
// it does on an already initialised thread).
class ComApartment {
 public:
  ComApartment() {
    static const auto initialize =
        SystemFunction<decltype(CoInitializeEx)>(L"ole32.dll", "CoInitializeEx");
    static const auto uninitialize =
        SystemFunction<decltype(CoUninitialize)>(L"ole32.dll", "CoUninitialize");
    uninitialize_ = uninitialize;
    if (initialize && uninitialize_) {
      result_ = initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    }
  }
  ~ComApartment() {
    if (SUCCEEDED(result_)) uninitialize_();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  bool Ok() const { return SUCCEEDED(result_); }

 private:
  decltype(CoUninitialize)* uninitialize_ = nullptr;
  HRESULT result_ = E_FAIL;
};

}  // namespace quillgate::win32
