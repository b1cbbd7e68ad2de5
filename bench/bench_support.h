// What the benchmarks put around the launch core: a shell that launches nothing, and a notifier
// that ends the run at the first report, since a measured run must not fail quietly.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/launch_core.h"

namespace quillgate::bench {

class NullShell final : public IShell {
 public:
  CommandParts SplitArguments(const std::string& command) override {
    return SplitCommandLine(command);
  }
  std::string SystemDirectory() override { return {}; }
  bool Execute(const LaunchRequest&) override { return true; }
};

class FailOnReport final : public INotifier {
 public:
  void ShowMessage(const std::string& text) override { Fail(text); }
  void ReportFailure(const std::string& text) override { Fail(text); }

 private:
  [[noreturn]] static void Fail(const std::string& text) {
    std::fprintf(stderr, "unexpected failure: %s\n", text.c_str());
    std::exit(1);
  }
};

}  // namespace quillgate::bench
