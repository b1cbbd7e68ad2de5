#include "core/folder_reads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace quillgate::testing {
namespace {

using Admit = FolderReads::Admit;

// Random requests, drops and ends over a few folders, against what the schedule promises: a
// share that does not answer, its path typed and deleted again and again, costs one read, not
// one for each edit (a folder running or waiting is joined); never more running than the slots;
// at most one waiting, and only while no slot is free; an end starts the one that waited.
TEST(FolderReads, KeepsItsRulesWhateverHappens) {
  std::mt19937 random(7);
  for (std::size_t slots = 1; slots <= 3; ++slots) {
    FolderReads reads(slots);
    std::vector<std::string> running;
    std::optional<std::string> waiting;
    for (int step = 0; step < 5000; ++step) {
      const std::string folder(1, char('A' + random() % 6));
      const bool runs = std::count(running.begin(), running.end(), folder) > 0;
      std::optional<std::string> displaced, next;
      switch (random() % 3) {
        case 0:
          switch (reads.Want(folder, displaced)) {
            case Admit::Joined:
              EXPECT_TRUE((runs || waiting == folder) && !displaced);
              break;
            case Admit::Start:
              EXPECT_TRUE(!runs && running.size() < slots);
              running.push_back(folder);
              break;
            case Admit::Wait:
              EXPECT_TRUE(!runs && waiting != folder && running.size() == slots &&
                          displaced == waiting);
              waiting = folder;
          }
          break;
        case 1:  // a running read runs on, unwanted, and keeps its slot
          EXPECT_EQ(reads.Drop(folder), waiting == folder);
          if (waiting == folder) waiting.reset();
          break;
        default:
          next = reads.Finished(folder);
          EXPECT_EQ(next, runs ? waiting : std::nullopt);
          if (!runs) break;
          running.erase(std::find(running.begin(), running.end(), folder));
          if (next) running.push_back(*next);
          waiting.reset();
      }
      ASSERT_TRUE(!waiting || running.size() == slots);
    }
  }
}

}  // namespace
}  // namespace quillgate::testing
