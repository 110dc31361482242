#include "shell/commands.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace korvane {
namespace {

std::vector<MenuItem> AllItems() {
    std::vector<MenuItem> items;
    for (const Menu& menu : MenuTable())
        items.insert(items.end(), menu.items.begin(), menu.items.end());
    return items;
}

TEST(CommandTable, EveryCommandAppearsExactlyOnceInTheMenu) {
    std::set<int> seen;
    for (const MenuItem& item : AllItems())
        EXPECT_TRUE(seen.insert(static_cast<int>(item.command)).second) << item.label;
}

TEST(CommandTable, EveryHintNamesTheKeyThatRunsTheSameCommand) {
    for (const MenuItem& item : AllItems()) {
        if (item.hint.empty())
            continue;
        std::optional<Command> bound;
        if (item.hint[0] == '^')
            bound = CommandForKey(Key::Letter, item.hint[1], true, false);
        else if (item.hint == "F2")
            bound = CommandForKey(Key::F2, 0, false, false);
        else if (item.hint == "F3")
            bound = CommandForKey(Key::F3, 0, false, false);
        else if (item.hint == "F4")
            bound = CommandForKey(Key::F4, 0, false, false);
        ASSERT_TRUE(bound) << item.label;
        EXPECT_EQ(*bound, item.command) << item.label;
    }
}

TEST(KeyTable, LettersActOnlyWithCtrlAndUnlistedKeysDoNothing) {
    EXPECT_EQ(CommandForKey(Key::Letter, 'H', true, false), Command::ServerPageHeader);
    EXPECT_EQ(CommandForKey(Key::Letter, 'c', true, false), Command::VerifyCustomerSite);
    EXPECT_EQ(CommandForKey(Key::Letter, 'H', false, false), std::nullopt);
    EXPECT_EQ(CommandForKey(Key::Letter, 'N', true, false), std::nullopt);
    EXPECT_EQ(CommandForKey(Key::Letter, 'Q', true, false), std::nullopt);
    EXPECT_EQ(CommandForKey(Key::F1, 0, false, false), Command::Help);
    EXPECT_EQ(CommandForKey(Key::Letter, '?', false, true), Command::About);
    EXPECT_EQ(CommandForKey(Key::Letter, '/', false, true), Command::About);
    EXPECT_EQ(CommandForKey(Key::Letter, '/', false, false), std::nullopt);
}

TEST(CommandDispatcher, RunsRegisteredEntriesAndIgnoresTheRest) {
    CommandDispatcher dispatcher;
    int runs = 0;
    dispatcher.Register(Command::Preferences, [&] { ++runs; });
    EXPECT_TRUE(dispatcher.Dispatch(Command::Preferences));
    EXPECT_TRUE(dispatcher.DispatchNumber(32788));
    EXPECT_FALSE(dispatcher.Dispatch(Command::SubmitUrl));
    EXPECT_FALSE(dispatcher.DispatchNumber(4242));
    EXPECT_EQ(runs, 2);
}

} // namespace
} // namespace korvane
