// Tries to take Win+R exactly as the launcher does and says whether it could: "registered"
// (exit 0, and the key is given back at once) or "error N" (exit 1). While a launcher runs
// in the same Wine prefix the answer is error 1409 (ERROR_HOTKEY_ALREADY_REGISTERED).
#include <windows.h>

#include <cstdio>

int main() {
  if (RegisterHotKey(nullptr, 1, MOD_WIN | MOD_NOREPEAT, 'R')) {
    UnregisterHotKey(nullptr, 1);
    std::puts("registered");
    return 0;
  }
  std::printf("error %lu\n", GetLastError());
  return 1;
}
