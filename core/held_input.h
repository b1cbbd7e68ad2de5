// Input held back while the history loads, handed on once the lines are there, all as it came.
// Portable, so the order has tests of its own; the message queue stands behind Replay's calls.
#pragma once

#include <utility>
#include <vector>

namespace quillgate {

template <typename Input>
class HeldInput {
 public:
  bool Holding() const { return !m_held.empty(); }
  // Once one input waits, every later one waits behind it, or it would act first.
  void Hold(Input input) { m_held.push_back(std::move(input)); }

  // Dispatches what was held, then what is queued (`nextQueued` takes each key or character): it
  // came later, so it goes later; left queued, it would be taken for the characters a held key
  // makes (`nextMadeBy` takes those, once the key went). Nothing more once `ending` says so.
  template <typename NextQueued, typename NextMadeBy, typename Dispatch, typename Ending>
  void Replay(NextQueued nextQueued, NextMadeBy nextMadeBy, Dispatch dispatch, Ending ending) {
    std::vector<Input> all = std::exchange(m_held, {});
    Input input{};
    while (!all.empty() && nextQueued(input)) all.push_back(input);
    for (Input& each : all) {
      if (ending()) return;
      dispatch(each);
      while (!ending() && nextMadeBy(each, input)) dispatch(input);
    }
  }

 private:
  std::vector<Input> m_held;
};

}  // namespace quillgate
