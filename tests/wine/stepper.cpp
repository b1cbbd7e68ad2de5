// Records commands in a history the way a launcher does after a successful launch, for the
// tests that run several at once or end one part way through a rewrite.
//
//   stepper <program folder> <documents folder> <stop> <count> <command>
//
// <stop> is claimed, written or replaced to end the process abruptly when that point of the
// first rewrite is reached, or none. With <count> 1 the command is recorded as given;
// otherwise <command>-1 ... <command>-<count> are recorded in turn.
// With QG_STEPPER_GATE set, it waits at that gate before the first rewrite.
// Exit code: 0 all recorded, 1 a failure was reported, 2 bad usage, 10 + the step it was
// ended at.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/launch_core.h"
#include "wine_support.h"

namespace {

using quillgate::UpdateStep;

constexpr int kNoStop = -1;
int g_stopAt = kNoStop;

void StopHere(UpdateStep step) {
  if (static_cast<int>(step) != g_stopAt) return;
  // As abrupt as a power cut gets from user mode: no destructors, no buffered output.
  TerminateProcess(GetCurrentProcess(), 10 + static_cast<UINT>(step));
}

class PrintingNotifier final : public quillgate::INotifier {
 public:
  void ShowMessage(const std::string& text) override { Print("message: " + text); }
  void ReportFailure(const std::string& text) override { Print("failure: " + text); }
  bool failed = false;

 private:
  void Print(const std::string& text) {
    failed = true;
    std::printf("stepper %lu %s\n", GetCurrentProcessId(), text.c_str());
    std::fflush(stdout);
  }
};

std::string Narrow(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size - 1 : 0, '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), size, nullptr, nullptr);
  return out;
}

bool WaitAtGate() {
  wchar_t name[256];
  const DWORD length = GetEnvironmentVariableW(quillgate::testing::kStepperGateVariable, name, 256);
  if (length == 0) return true;
  if (length >= 200) return false;
  const std::wstring base(name, length);
  HANDLE ready = OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, (base + L"-ready").c_str());
  HANDLE go = OpenEventW(SYNCHRONIZE, FALSE, (base + L"-go").c_str());
  const bool ok = ready && go && ReleaseSemaphore(ready, 1, nullptr) &&
                  WaitForSingleObject(go, 60000) == WAIT_OBJECT_0;
  if (ready) CloseHandle(ready);
  if (go) CloseHandle(go);
  return ok;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc != 6) return 2;
  const std::wstring stop = argv[3];
  if (stop == L"claimed") {
    g_stopAt = static_cast<int>(UpdateStep::TemporaryClaimed);
  } else if (stop == L"written") {
    g_stopAt = static_cast<int>(UpdateStep::TemporaryWritten);
  } else if (stop == L"replaced") {
    g_stopAt = static_cast<int>(UpdateStep::Replaced);
  } else if (stop != L"none") {
    return 2;
  }
  const int count = _wtoi(argv[4]);
  if (count < 1) return 2;
  const std::string command = Narrow(argv[5]);

  quillgate::testing::FolderPair files(argv[1], argv[2]);
  quillgate::testing::NoShell shell;
  PrintingNotifier notifier;
  quillgate::LaunchCore core(files, shell, notifier);
  quillgate::SetUpdateStepHookForTesting(&StopHere);

  if (!WaitAtGate()) return 2;
  for (int i = 1; i <= count; ++i) {
    core.UpdateHistory(count == 1 ? command : command + "-" + std::to_string(i));
  }
  LocalFree(argv);
  return notifier.failed ? 1 : 0;
}
