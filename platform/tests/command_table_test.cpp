#include "platform/command_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrun::platform {
namespace {

TEST(CommandTableRegistration, SecondHandlerForAnIdIsRefusedAndTheFirstStays) {
  CommandTable table;
  std::vector<std::string> ran;
  ASSERT_TRUE(table.Add(10, [&](int) { ran.push_back("first"); }));
  EXPECT_FALSE(table.Add(10, [&](int) { ran.push_back("second"); }));
  EXPECT_FALSE(table.Add(11, CommandTable::Handler()));
  EXPECT_FALSE(table.Has(11));
  EXPECT_TRUE(table.Dispatch(10));
  EXPECT_EQ(ran, std::vector<std::string>{"first"});
}

TEST(CommandTableRegistration, ListFormAddsAllOrNothing) {
  CommandTable table;
  std::vector<int> ran;
  const CommandTable::Handler record = [&](int id) { ran.push_back(id); };
  ASSERT_TRUE(table.Add(2, record));

  // 2 is taken: neither 1 nor 3 may be left behind.
  EXPECT_FALSE(table.Add({1, 2, 3}, record));
  EXPECT_FALSE(table.Has(1));
  EXPECT_FALSE(table.Has(3));
  // An id listed twice is refused the same way.
  EXPECT_FALSE(table.Add({4, 5, 4}, record));
  EXPECT_FALSE(table.Has(4));
  EXPECT_FALSE(table.Has(5));

  // One handler for a button and its menu item, told apart by the id it gets.
  ASSERT_TRUE(table.Add({1, 3}, record));
  EXPECT_TRUE(table.Dispatch(3));
  EXPECT_TRUE(table.Dispatch(1));
  EXPECT_EQ(ran, (std::vector<int>{3, 1}));
}

TEST(CommandTableRegistration, RemovedIdIsFreeAgainAndRemovingTwiceIsHarmless) {
  CommandTable table;
  int runs = 0;
  ASSERT_TRUE(table.Add(7, [&](int) { ++runs; }));
  table.Remove(7);
  table.Remove(7);
  EXPECT_FALSE(table.Dispatch(7));
  EXPECT_EQ(runs, 0);
  EXPECT_TRUE(table.Add(7, [&](int) { runs += 10; }));
  EXPECT_TRUE(table.Dispatch(7));
  EXPECT_EQ(runs, 10);
}

TEST(CommandTableDispatch, HandlerMayDispatchOtherCommandsAndItself) {
  CommandTable table;
  std::vector<int> ran;
  int depth = 0;
  ASSERT_TRUE(table.Add(1, [&](int id) {
    ran.push_back(id);
    // A command that triggers itself once more, through the table.
    if (++depth < 3) {
      EXPECT_TRUE(table.Dispatch(1));
    }
    EXPECT_TRUE(table.Dispatch(2));
  }));
  ASSERT_TRUE(table.Add(2, [&](int id) { ran.push_back(id); }));
  EXPECT_TRUE(table.Dispatch(1));
  EXPECT_EQ(ran, (std::vector<int>{1, 1, 1, 2, 2, 2}));
}

TEST(CommandTableDispatch, HandlerThatRemovesItselfKeepsItsStateWhileRunning) {
  CommandTable table;
  // Captured by value, so it lives inside the stored function: if the table ran the
  // stored function itself, removing it would free this text under the running handler.
  const std::string text(200, 'x');
  std::string seen;
  ASSERT_TRUE(table.Add(5, [&table, &seen, text](int id) {
    table.Remove(id);
    // Enough new commands to make the table grow and rearrange its storage.
    for (int i = 1000; i < 1200; ++i) table.Add(i, [](int) {});
    seen = text;
  }));
  EXPECT_TRUE(table.Dispatch(5));
  EXPECT_EQ(seen, text);
  EXPECT_FALSE(table.Has(5));
  EXPECT_FALSE(table.Dispatch(5));
  EXPECT_TRUE(table.Dispatch(1199));
}

}  // namespace
}  // namespace kestrun::platform
