// Input held back while the history loads, and the order it is handed on in once the lines are
// there: everything as it came. Portable, so the order has tests of its own; the launcher's
// message queue stands behind the `Queue` port.
#pragma once

#include <utility>
#include <vector>

namespace quillgate {

template <typename Input>
class HeldInput {
 public:
  // What the replay needs of the system's message queue.
  class Queue {
   public:
    virtual ~Queue() = default;
    // Takes the next key or character still waiting in the queue; false when none is left.
    virtual bool NextQueued(Input& input) = 0;
    // Takes the next character waiting for `key`'s window: what dispatching `key` has just made.
    virtual bool NextMadeBy(const Input& key, Input& made) = 0;
    virtual void Dispatch(Input& input) = 0;
    // True once the dialog has ended: nothing more may act.
    virtual bool Ending() = 0;
  };

  bool Holding() const { return !held_.empty(); }
  // Once one input waits, every later one waits behind it, or it would act first.
  void Hold(Input input) { held_.push_back(std::move(input)); }

  // Hands on what was held, then what is still queued (it came later, so it goes later: left in
  // the queue, it would be taken for the characters a held key makes). Each key's characters are
  // handed on before the next key.
  void Replay(Queue& queue) {
    std::vector<Input> all = std::exchange(held_, {});
    Input input{};
    while (!all.empty() && queue.NextQueued(input)) all.push_back(input);
    for (Input& each : all) {
      if (queue.Ending()) return;
      queue.Dispatch(each);
      while (!queue.Ending() && queue.NextMadeBy(each, input)) queue.Dispatch(input);
    }
  }

 private:
  std::vector<Input> held_;
};

}  // namespace quillgate
