#include "core/held_input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace quillgate::testing {
namespace {

// Capitals are keys, each making its small letter once dispatched, at the back of the queue as
// TranslateMessage posts it; small letters are characters, which type themselves; '!' is a key
// that ends the dialog. However much was held and whatever was still queued behind it when the
// lines came, a key's character counts where the key came: all of it acts in the order it came,
// and nothing once the dialog has ended.
TEST(HeldInput, ReplaysEverythingInTheOrderItCame) {
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::string came, expected, typed;
    for (std::size_t n = 1 + random() % 8; came.size() < n;)
      came += random() % 9 == 0 ? '!' : char((random() % 2 ? 'A' : 'a') + random() % 26);
    for (const char c : came.substr(0, came.find('!'))) expected += char(std::tolower(c));
    const std::size_t split = 1 + random() % came.size();
    HeldInput<char> held;
    for (const char c : came.substr(0, split)) held.Hold(c);
    std::string queued = came.substr(split);
    bool ended = false;
    const auto take = [&](std::string::iterator at, char& input) {
      return at != queued.end() && (input = *at, queued.erase(at), true);
    };
    held.Replay([&](char& input) { return take(queued.begin(), input); },
                [&](const char&, char& input) {  // as PeekMessage does with a filter for characters
                  return take(std::find_if(queued.begin(), queued.end(), ::islower), input);
                },
                [&](char& input) {
                  if (input == '!') ended = true;
                  if (std::isupper(input)) queued += char(std::tolower(input));
                  if (std::islower(input)) typed += input;
                },
                [&] { return ended; });
    EXPECT_EQ(typed, expected) << came << ", " << split << " held";
    EXPECT_FALSE(held.Holding());
  }
}

}  // namespace
}  // namespace quillgate::testing
