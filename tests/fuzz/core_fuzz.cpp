// Properties of the launch core's text handling over arbitrary bytes. The first line of the
// input is the command, the rest the history file as found on disk.
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <sstream>

#include "tests/native/fakes.h"

using namespace quillgate;

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

// What the history file holds after the launch, as the drop-down lists it: the old lines (split
// at LF, CRs gone), empty ones and the command left out, then the command.
std::vector<std::string> Expected(const std::string& existing, const std::string& command) {
  std::vector<std::string> lines;
  std::istringstream in(existing);
  for (std::string line; std::getline(in, line);) {
    line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
    if (!line.empty() && line != command) lines.push_back(line);
  }
  if (!command.empty()) lines.push_back(command);
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  for (char& c : input) c = c ? c : 'z';  // a box item is a C string
  const std::size_t newline = input.find('\n');
  std::string command = input.substr(0, newline);
  const std::string existing = newline == std::string::npos ? "" : input.substr(newline + 1);
  command.erase(std::remove(command.begin(), command.end(), '\r'), command.end());

  const std::string trimmed = TrimCommand(command);
  // The anchored expression recurses per character: only short texts can be held against it.
  if (command.size() < 256)
    Check(trimmed == std::regex_replace(command, std::regex("^ +| +$"), ""));

  // Arguments start after the first space outside double quotes; the file part keeps its quotes.
  const CommandParts parts = SplitCommandLine(trimmed);
  std::size_t quotes = 0, cut = 0;
  for (; cut < trimmed.size() && (trimmed[cut] != ' ' || quotes % 2); ++cut) {
    quotes += trimmed[cut] == '"';
  }
  if (cut < trimmed.size()) {
    Check(parts.file == trimmed.substr(0, cut) && parts.parameters == trimmed.substr(cut + 1));
  } else {
    Check(parts.file == trimmed && parts.parameters.empty());
  }

  // Loading what a rewrite wrote gives back the old lines, less the command, plus it at the end.
  testing::Files files;
  testing::Rig rig(files);
  files.data["/documents/quillgate.ini"] = existing;
  rig.core.UpdateHistory(trimmed);
  testing::Box box;
  rig.core.LoadHistory(box);
  const auto expected = Expected(existing, trimmed);
  Check(box.items == expected);
  Check(box.text == (expected.empty() ? "" : expected.back()));
  Check(files.data.size() == 1 && rig.notes.failures.empty() && rig.notes.messages.empty());
  return 0;
}
