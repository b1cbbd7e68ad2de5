// Owners of what Windows hands out, each let go of the way its kind is.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

#include "platform/win32_system.h"

namespace quillgate::win32 {

// The one owner of `T`, closed with `Close` when it ends or takes another. Holds nothing when
// null or `Invalid` (-1 for calls failing INVALID_HANDLE_VALUE).
template <typename T, auto Close, std::intptr_t Invalid = 0>
class Holder {
 public:
  Holder() = default;
  explicit Holder(T value) : m_value(value) {}
  Holder(Holder&& other) noexcept : m_value(std::exchange(other.m_value, nullptr)) {}
  Holder& operator=(Holder&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.m_value, nullptr));
    return *this;
  }
  ~Holder() { Reset(); }

  T Get() const { return m_value; }
  T operator->() const { return m_value; }
  bool Valid() const { return m_value && m_value != reinterpret_cast<T>(Invalid); }
  void Reset(T value = nullptr) {
    if (Valid()) std::invoke(Close, m_value);  // a function, or a member such as Release
    m_value = value;
  }
  T* Out() {  // where a creating call stores what it made
    Reset();
    return &m_value;
  }

 private:
  T m_value = nullptr;
};

// Via DLLs not imported (see win32_system.h), loaded by the time what they handed out is let go.
inline void FreeTaskMemory(void* memory) {
  if (const auto free = ole32::CoTaskMemFree()) free(memory);
}
inline void FinishDrop(HDROP drop) {
  if (const auto finish = shell32::DragFinish()) finish(drop);
}
// ReleaseDC wants the window too, which the DC knows.
inline void ReleaseWindowDc(HDC dc) {
  ReleaseDC(WindowFromDC(dc), dc);
}

using Handle = Holder<HANDLE, CloseHandle, -1>;    // a file, event, thread or file mapping
using FindHandle = Holder<HANDLE, FindClose, -1>;  // a listing from FindFirstFileExW
template <typename T>
using TaskMemory = Holder<T*, FreeTaskMemory>;  // what the shell allocated for the caller
template <typename T>
using ComPtr = Holder<T*, &T::Release>;   // one reference
using Icon = Holder<HICON, DestroyIcon>;  // one the program loaded itself, not a shared one
using DropHandle = Holder<HDROP, FinishDrop>;
using WindowDc = Holder<HDC, ReleaseWindowDc>;  // from GetDC

// A new object of class `id` as interface `iid`; false when ole32 or the class is missing.
template <typename T>
bool CreateInstance(const CLSID& id, DWORD context, const IID& iid, ComPtr<T>& object) {
  const auto create = ole32::CoCreateInstance();
  return create &&
         SUCCEEDED(create(id, nullptr, context, iid, reinterpret_cast<void**>(object.Out())));
}

template <typename Work>
DWORD WINAPI RunOwned(void* work) {
  std::unique_ptr<Work>(static_cast<Work*>(work))->operator()();
  return 0;
}

// Runs `work()` on a thread of its own, which nobody joins and which owns `work`; false when no
// thread can be had (`work` never runs then, and the caller says what is missed). A Windows
// thread, not std::thread: that one's failure to start is an exception, this one's an answer.
template <typename Work>
bool StartThread(Work work) {
  auto owned = std::make_unique<Work>(std::move(work));
  if (!Handle(CreateThread(nullptr, 0, RunOwned<Work>, owned.get(), 0, nullptr)).Valid())
    return false;
  owned.release();
  return true;
}

// COM on this thread for the holder's lifetime, balanced only if the initialisation took (as
// it does on an already initialised thread).
class ComApartment {
 public:
  ComApartment() : m_uninitialize(ole32::CoUninitialize()) {
    const auto initialize = ole32::CoInitializeEx();
    if (initialize && m_uninitialize) {
      m_result = initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    }
  }
  ~ComApartment() {
    if (SUCCEEDED(m_result)) m_uninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  bool Ok() const { return SUCCEEDED(m_result); }

 private:
  decltype(CoUninitialize)* m_uninitialize = nullptr;
  HRESULT m_result = E_FAIL;
};

}  // namespace quillgate::win32
