#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/folder_reads.h"

namespace quillgate::testing {
namespace {

using Admit = FolderReads::Admit;

// The fault the schedule exists for: a share that does not answer, its path's last backslash
// typed and deleted again and again, must cost one thread, not one for each edit.
TEST(FolderReads, AFolderTypedAgainJoinsTheReadUnderWay) {
  FolderReads reads(3);
  std::optional<std::string> displaced;
  EXPECT_EQ(reads.Want(R"(\\gone\share\)", displaced), Admit::Start);
  for (int edit = 0; edit < 10; ++edit) {
    EXPECT_FALSE(reads.Drop(R"(\\gone\share\)"));  // it runs on, unwanted, and keeps its slot
    EXPECT_EQ(reads.Want(R"(\\gone\share\)", displaced), Admit::Joined);
  }
  EXPECT_EQ(reads.Want(R"(C:\a\)", displaced), Admit::Start);
  EXPECT_EQ(reads.Want(R"(C:\b\)", displaced), Admit::Start);
  EXPECT_EQ(reads.Want(R"(C:\c\)", displaced), Admit::Wait);
  EXPECT_EQ(reads.Finished(R"(\\gone\share\)"), R"(C:\c\)");
  EXPECT_EQ(reads.Want(R"(\\gone\share\)", displaced), Admit::Wait);  // ended: read afresh
}

// Random requests, drops and ends over a few folders, against what the rules promise: a read
// per folder at most, no more running than the slots, and one waiting, the latest asked for.
TEST(FolderReads, KeepsItsRulesWhateverHappens) {
  const std::vector<std::string> folders = {"A", "B", "C", "D", "E", "F"};
  std::mt19937 random(7);
  for (std::size_t slots = 1; slots <= 3; ++slots) {
    FolderReads reads(slots);
    std::vector<std::string> running;
    std::optional<std::string> waiting;
    for (int step = 0; step < 5000; ++step) {
      const std::string& folder = folders[random() % folders.size()];
      const bool runs = std::count(running.begin(), running.end(), folder) > 0;
      switch (random() % 3) {
        case 0: {
          std::optional<std::string> displaced;
          const Admit admit = reads.Want(folder, displaced);
          if (runs || waiting == folder) {
            EXPECT_EQ(admit, Admit::Joined);
            EXPECT_FALSE(displaced);
          } else if (running.size() < slots) {
            EXPECT_EQ(admit, Admit::Start);
            running.push_back(folder);
          } else {
            EXPECT_EQ(admit, Admit::Wait);
            EXPECT_EQ(displaced, waiting);
            waiting = folder;
          }
          break;
        }
        case 1:
          EXPECT_EQ(reads.Drop(folder), waiting == folder);
          if (waiting == folder) waiting.reset();
          break;
        default: {
          const auto next = reads.Finished(folder);
          if (!runs) {
            EXPECT_FALSE(next);
            break;
          }
          EXPECT_EQ(next, waiting);
          running.erase(std::find(running.begin(), running.end(), folder));
          if (next) running.push_back(*next);
          waiting.reset();
        }
      }
      ASSERT_LE(running.size(), slots);
      ASSERT_TRUE(!waiting || running.size() == slots);  // none waits while a slot is free
    }
  }
}

}  // namespace
}  // namespace quillgate::testing
