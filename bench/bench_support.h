// What the benchmarks put around the launch core: a shell that launches nothing, and a notifier
// that ends the run at the first report, since a measured run must not fail quietly.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "core/launch_core.h"

namespace quillgate::bench {

class NullShell final : public IShell {
 public:
  CommandParts SplitArguments(const std::string& command) override {
    return SplitCommandLine(command);
  }
  std::string SystemDirectory() override { return {}; }
  std::optional<std::string> Variable(const std::string&) override { return std::nullopt; }
  bool Execute(const LaunchRequest&) override { return true; }
};

class FailOnReport final : public INotifier {
 public:
  void ShowMessage(const messages::Message& message) override {
    Fail("message " + std::to_string(static_cast<int>(message.id)));
  }
  void ReportFailure(const std::string& text) override { Fail(text); }

 private:
  [[noreturn]] static void Fail(const std::string& text) {
    std::fprintf(stderr, "unexpected failure: %s\n", text.c_str());
    std::exit(1);
  }
};

// Wall time of one run of `body`, in seconds.
inline double Seconds(const std::function<void()>& body) {
  const auto start = std::chrono::steady_clock::now();
  body();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> times) {
  std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
  return times[times.size() / 2];
}

// A time with the unit that suits it.
inline std::string Duration(double seconds) {
  char text[32];
  if (seconds >= 1e-3) {
    std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
  } else if (seconds >= 1e-6) {
    std::snprintf(text, sizeof text, "%.1f us", seconds * 1e6);
  } else {
    std::snprintf(text, sizeof text, "%.1f ns", seconds * 1e9);
  }
  return text;
}

}  // namespace quillgate::bench
