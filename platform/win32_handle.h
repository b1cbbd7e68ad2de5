// RAII holders for kernel handles, listings, shell-allocated memory and the thread's COM
// apartment.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

#include "platform/win32_system.h"

namespace quillgate::win32 {

class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  FileHandle(FileHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  FileHandle& operator=(FileHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, INVALID_HANDLE_VALUE));
    return *this;
  }
  ~FileHandle() { Reset(); }

  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  void Reset(HANDLE handle = INVALID_HANDLE_VALUE) {
    if (Valid()) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// A directory listing from FindFirstFileExW.
class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (Valid()) FindClose(handle_);
  }
  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

template <typename T>
class CoTaskMem {
 public:
  CoTaskMem() = default;
  CoTaskMem(const CoTaskMem&) = delete;
  CoTaskMem& operator=(const CoTaskMem&) = delete;
  ~CoTaskMem() { TaskMemFree(pointer_); }
  T* Get() const { return pointer_; }
  T** Out() { return &pointer_; }

 private:
  T* pointer_ = nullptr;
};

// COM on this thread for the holder's lifetime; uninitialised only if the initialisation took
// (an already initialised thread counts, and is balanced the same way).
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
