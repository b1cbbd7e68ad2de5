// Properties of the launch core's text handling over arbitrary bytes. The first line of the
// input is the command, the rest the history file as found on disk, any encoding mixed.
#include <iconv.h>

#include <cstdint>
#include <cstdlib>
#include <regex>
#include <sstream>

#include "core/app_cache.h"
#include "tests/native/fakes.h"

using namespace quillgate;

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

// Well-formed UTF-8 as the C library's converter takes it: no overlong form, surrogate or code
// point past U+10FFFF, no sequence cut short.
bool Utf8ByIconv(const std::string& s) {
  static const iconv_t converter = iconv_open("UTF-32LE", "UTF-8");
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(s.data());
  std::size_t left = s.size(), room = 4 * s.size();
  std::string out(room, '\0');
  char* to = out.data();
  return iconv(converter, &in, &left, &to, &room) != static_cast<std::size_t>(-1) && !left;
}

// What the drop-down lists after the launch: of the old lines as the loader takes them (to CR LF,
// after a UTF-8 mark; then the rest) those that load (up to a NUL) as the command left out, the
// others in parts at LF without CRs, parts that load as the command left out too; the command last.
std::vector<std::string> Expected(testing::Files& files, std::string_view existing,
                                  const std::string& command) {
  const auto shown = [&](std::string line) {
    if (!IsUtf8(line)) line = files.DecodeLegacy(line);
    return line.substr(0, line.find('\0'));
  };
  const auto same = [&](const std::string& line) {
    return shown(line) == command || line.substr(0, line.find('\0')) == command;
  };
  std::vector<std::string> lines;
  if (existing.substr(0, 3) == "\xEF\xBB\xBF") existing.remove_prefix(3);
  while (!existing.empty()) {
    const std::size_t end = std::min(existing.find("\r\n"), existing.size());
    std::string line(existing.substr(0, end));
    existing.remove_prefix(std::min(end + 2, existing.size()));
    if (same(line)) continue;
    line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
    std::istringstream parts(line);
    for (std::string part; std::getline(parts, part);) {
      if (!part.empty() && !same(part)) lines.push_back(shown(part));
    }
  }
  if (!command.empty()) lines.push_back(shown(command));
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  Check(IsUtf8(input) == Utf8ByIconv(input));

  // The apps' cache: what parses composes to the same text; the input's lines as apps come back
  // as written, less those no cache can hold. Folding keeps UTF-8 and folds once for all.
  const auto readsAsWritten = [](const std::string& text) {
    const auto cache = ParseAppCache(text);
    for (const AppEntry& app : cache ? cache->apps : std::vector<AppEntry>())
      Check(std::string("SP").find(char(app.kind)) < 2 &&
            std::string("UCA").find(char(app.origin)) < 3);
    return !cache || ComposeAppCache(*cache) == text;
  };
  Check(readsAsWritten(input));
  AppCache apps{input.substr(0, input.find('\n')), {}};
  for (std::size_t at = 0; at < input.size() && apps.apps.size() < 64; at += 7)
    apps.apps.push_back({input.substr(at, 5), at % 2 ? AppKind::Shortcut : AppKind::Packaged,
                         input.substr(at + 1, 9),
                         at % 3 ? AppOrigin::AppsFolder : AppOrigin::UserPrograms});
  const auto back = ParseAppCache(ComposeAppCache(apps));
  Check(back ? back->stamp == apps.stamp : !apps.stamp.empty());  // a stamp no cache can hold
  for (const AppEntry& app : back ? back->apps : std::vector<AppEntry>())
    Check(std::find(apps.apps.begin(), apps.apps.end(), app) != apps.apps.end());
  const std::string folded = FoldCase(input);
  Check(FoldCase(folded) == folded && (!IsUtf8(input) || IsUtf8(folded)));
  const std::size_t newline = input.find('\n');
  std::string command = input.substr(0, newline);
  const std::string existing = newline == std::string::npos ? "" : input.substr(newline + 1);
  for (char& c : command) c = c ? c : 'z';  // a box item is a C string; a line need not be

  const std::string trimmed = TrimCommand(command);
  // The anchored expression recurses per character: only short texts can be held against it.
  if (command.size() < 256)
    Check(trimmed == std::regex_replace(command, std::regex("^ +| +$"), ""));
  // Names nobody set leave the text exactly as typed, stray and doubled % included.
  Check(ExpandVariables(command, [](const std::string&) { return std::nullopt; }) == command);

  // Loading what a rewrite wrote gives back the old lines, less the command, plus it at the end;
  // launching it again changes nothing; forgetting it takes it out again, and only once.
  testing::Rig rig;
  testing::Files& files = rig.files;
  files.piece = 2 + size % 9;  // histories seen in place, in pieces of every small size
  std::string& file = files.data["/documents/quillgate.ini"] = existing;
  rig.Record(trimmed);
  testing::Box box = rig.Load();
  auto expected = Expected(files, existing, trimmed);
  Check(box.items == expected);
  Check(box.text == (expected.empty() ? "" : expected.back()));
  const std::string recorded = file;
  rig.Record(trimmed);
  Check(file == recorded);
  Check(rig.Forget(trimmed).kind == RewriteOutcome::Kind::Done);
  const std::string forgotten = file;
  Check(rig.Forget(trimmed).kind == RewriteOutcome::Kind::NothingMatched && file == forgotten);
  if (!trimmed.empty()) expected.pop_back();
  testing::Box after = rig.Load();
  Check(after.items == expected);
  Check(files.data.size() == 1 && rig.notes.failures.empty() && rig.notes.messages.size() == 1);

  // Seen in place, the lines stay as they are while the pieces' copies take over, in any order,
  // and every view is let go.
  file = existing;
  HistoryLines lines;
  Check(LoadLines(files, "/documents/quillgate.ini", lines) == ReadResult::Ok);
  const auto texts = [&lines] {
    std::vector<std::string> all;
    for (std::size_t i = 0; i < lines.Count(); ++i) all.emplace_back(lines.Line(i));
    return all;
  };
  const auto seen = texts();
  // A history in UTF-8 that fits one piece is always seen in place.
  Check(lines.Views() || seen.empty() || !IsUtf8(existing) || existing.size() > files.piece);
  if (const std::shared_ptr<FileViews> mapped = lines.Views()) {
    for (std::size_t k = 0; k < mapped->Pieces(); ++k) {
      const std::size_t piece = (k + size) % mapped->Pieces();
      lines.PutCopyInPlace(mapped.get(), piece, mapped->CopyPiece(piece));
      Check(texts() == seen);
    }
  }
  Check(files.views == 0 && !lines.Views());

  // Forgetting an entry of the old history takes out every line it was loaded from.
  box = rig.Load();
  if (box.items.empty()) return 0;
  const std::string entry = box.items[size % box.items.size()];
  Check(rig.Forget(entry).kind == RewriteOutcome::Kind::Done);
  after = rig.Load();
  Check(std::find(after.items.begin(), after.items.end(), entry) == after.items.end());
  return 0;
}
