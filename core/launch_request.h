// The shell's launch record, laid out field for field like SHELLEXECUTEINFOA so that the core
// can fill it without windows.h and the Win32 layer can hand it on unchanged.
#pragma once

#include <cstdint>

namespace quillgate {

struct LaunchRequest {
  std::uint32_t cbSize;
  std::uint32_t fMask;
  void* hwnd;
  const char* lpVerb;
  const char* lpFile;
  const char* lpParameters;
  const char* lpDirectory;
  std::int32_t nShow;
  void* hInstApp;
  void* lpIDList;
  const char* lpClass;
  void* hkeyClass;
  std::uint32_t dwHotKey;
  void* hIconOrMonitor;
  void* hProcess;
};

static_assert(sizeof(void*) != 4 || sizeof(LaunchRequest) == 60,
              "the 32-bit launch record must keep the shell's 60-byte layout");

constexpr std::int32_t kShowNormal = 1;  // SW_SHOWNORMAL
// SEE_MASK_NOASYNC: the launcher ends right after the call, so a launch the shell hands to an
// extension or to DDE must be finished by the time the call returns.
constexpr std::uint32_t kMaskNoAsync = 0x100;
constexpr const char* kElevateVerb = "runas";

}  // namespace quillgate
