#include "core/held_input.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>

namespace quillgate::testing {
namespace {

// A key makes its character once dispatched, at the back of the queue, as TranslateMessage
// posts it; a character types itself. '!' ends the dialog.
struct Input {
  bool key = false;
  char c = 0;
};

struct Queue {
  bool NextQueued(Input& input) {
    if (queued.empty()) return false;
    input = queued.front();
    queued.pop_front();
    return true;
  }
  // As PeekMessage with a filter for characters: the first character waiting, whatever made it.
  bool NextMadeBy(const Input&, Input& made) {
    for (auto at = queued.begin(); at != queued.end(); ++at) {
      if (at->key) continue;
      made = *at;
      queued.erase(at);
      return true;
    }
    return false;
  }
  void Dispatch(Input& input) {
    if (input.key && input.c == '!') ended = true;
    if (input.key) {
      queued.push_back({false, input.c});
    } else {
      typed += input.c;
    }
  }
  std::deque<Input> queued;
  std::string typed;
  bool ended = false;
};

// However much of the input was held and whatever was still queued behind it when the lines
// came, a key's character counts where the key came: all of it acts in the order it came, and
// nothing acts once the dialog has ended.
TEST(HeldInput, ReplaysEverythingInTheOrderItCame) {
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::vector<Input> came(1 + random() % 8);
    std::string expected;
    bool ended = false;
    for (Input& each : came) {
      each = {random() % 2 == 0, static_cast<char>(random() % 9 == 0 ? '!' : 'a' + random() % 26)};
      if (each.key && each.c == '!') ended = true;
      if (!ended && !(each.key && each.c == '!')) expected += each.c;
    }
    HeldInput<Input> held;
    Queue queue;
    const std::size_t split = 1 + random() % came.size();
    for (std::size_t i = 0; i < came.size(); ++i) {
      i < split ? held.Hold(came[i]) : queue.queued.push_back(came[i]);
    }
    held.Replay([&](Input& i) { return queue.NextQueued(i); },
                [&](const Input& k, Input& i) { return queue.NextMadeBy(k, i); },
                [&](Input& i) { queue.Dispatch(i); }, [&] { return queue.ended; });
    EXPECT_EQ(queue.typed, expected) << "round " << round << ", " << split << " held";
    EXPECT_FALSE(held.Holding());
  }
}

}  // namespace
}  // namespace quillgate::testing
