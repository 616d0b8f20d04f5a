// The command table: wherever a row stands, its own word reaches its action. The words that only
// the first letters or the digits take are played through in the real-binary session.
#include <gtest/gtest.h>

#include "app/command_table.h"

TEST(CommandTable, EveryRowWithAnActionIsReachedByItsOwnWord) {
    for (const auto& [word, action] : commandWords()) EXPECT_EQ(actionFor(word), action) << word;
}
