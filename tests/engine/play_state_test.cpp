#include "KPlayState.h"
#include "KRandom.h"
#include "KVariables.h"

#include <gtest/gtest.h>

#include <set>

namespace {

std::vector<std::string> Texts(const KPlayState& play)
{
    std::vector<std::string> texts;
    for (const KMessage& message : play.messages) texts.push_back(message.text);
    return texts;
}

TEST(Messages, StackInOrderAndAnOwnersNewLineReplacesItsOld)
{
    KPlayState play;
    play.ShowMessage(7, "first");
    play.ShowMessage(9, "second");
    for (int tick = 0; tick < 100; ++tick) play.RunDownTimers();
    play.ShowMessage(7, "again");
    EXPECT_EQ(Texts(play), (std::vector<std::string>{"again", "second"}));
    EXPECT_EQ(play.MessageOf(7)->timer, kMessageLife) << "a refreshed line lives 170 ticks again";
    EXPECT_EQ(play.MessageOf(9)->timer, kMessageLife - 100);
}

TEST(Messages, AFullListDropsItsOldestLineButNeverGameOver)
{
    KPlayState play;
    play.ShowMessage(0, std::string(kGameOverText));
    for (int owner = 1; owner <= 10000; ++owner) play.ShowMessage(owner, "line " + std::to_string(owner));
    ASSERT_EQ(play.messages.size(), kMaxMessages);
    EXPECT_EQ(play.messages.front().text, kGameOverText);
    EXPECT_EQ(play.messages.back().text, "line 10000");
}

TEST(Messages, ExpireAfter170TicksExceptGameOver)
{
    KPlayState play;
    play.ShowMessage(1, "hello");
    play.ShowMessage(2, std::string(kGameOverText));
    play.ShowMessage(3, std::string(kGameOverText));
    EXPECT_EQ(play.messages.size(), 2u) << "game over shows once";
    for (int tick = 0; tick < kMessageLife - 1; ++tick) play.RunDownTimers();
    EXPECT_EQ(play.messages.size(), 2u);
    play.RunDownTimers();
    EXPECT_EQ(Texts(play), (std::vector<std::string>{std::string(kGameOverText)}));
    for (int tick = 0; tick < 10000; ++tick) play.RunDownTimers();
    ASSERT_EQ(play.messages.size(), 1u);
    EXPECT_EQ(play.messages[0].timer, 0) << "the timer stops instead of running below zero";
}

TEST(Hud, AfterAResetChangedWatchedVariablesShowTheirLines)
{
    KPlayState play;
    KVariables variables;
    play.ShowMessage(1, "x");
    play.inputEnabled = 0;
    play.pendingTicks = 3;
    play.Reset();
    EXPECT_TRUE(play.messages.empty()) << "a reset starts play afresh";
    EXPECT_EQ(play.inputEnabled, 1);
    EXPECT_EQ(play.pendingTicks.load(), 0);
    ASSERT_EQ(play.watches.size(), 2u);
    variables.SetInt("health", 100);
    variables.SetInt("ammo", 0);
    variables.Changed("health");
    variables.Changed("ammo");
    play.CheckWatches(variables);
    EXPECT_TRUE(play.messages.empty()) << "start values do not show";

    variables.SetInt("health", 90);
    play.CheckWatches(variables);
    EXPECT_EQ(Texts(play), (std::vector<std::string>{"health: 90"}));
    EXPECT_EQ(play.messages[0].owner, 0);
    variables.SetInt("health", 90);
    play.RunDownTimers();
    play.CheckWatches(variables);
    EXPECT_EQ(play.messages[0].timer, kMessageLife - 1) << "the same value again shows nothing new";

    variables.SetInt("ammo", 5);
    variables.SetString("health", "80");
    play.CheckWatches(variables);
    EXPECT_EQ(Texts(play), (std::vector<std::string>{"health: 80", "ammo: 5"}));
    EXPECT_EQ(play.messages[1].owner, -1);
    EXPECT_TRUE(variables.IsString("health")) << "showing a variable leaves its kind alone";

    play.watches.push_back(KWatch{"name", 1, 55});
    variables.SetString("name", "Ann");
    play.CheckWatches(variables);
    EXPECT_EQ(play.MessageOf(55)->text, "name: Ann");
}

TEST(CatchUp, BatchesRunOnlyWhileFewerThanFourArePending)
{
    KPlayState play;
    int ticks = 0;
    auto tick = [&] { ++ticks; };
    for (int pending = 0; pending <= 6; ++pending) {
        ticks = 0;
        play.pendingTicks = pending;
        const int ran = play.RunPendingTicks(tick);
        EXPECT_EQ(ran, ticks);
        EXPECT_EQ(ticks, pending < kCatchUpLimit ? pending : 0) << pending << " pending";
        EXPECT_EQ(play.pendingTicks.load(), 0);
    }
    // A tick that arrives during the batch is run in the same batch.
    ticks = 0;
    play.pendingTicks = 1;
    play.RunPendingTicks([&] {
        if (++ticks == 1) ++play.pendingTicks;
    });
    EXPECT_EQ(ticks, 2);
    play.pendingTicks = -3;
    EXPECT_EQ(play.RunPendingTicks(tick), 0);
    EXPECT_EQ(play.pendingTicks.load(), 0);
}

TEST(Random, SeededRunsRepeatAndStayInRange)
{
    KRandom a(42);
    KRandom b(42);
    KRandom c(43);
    bool differs = false;
    std::set<int> seen;
    for (int i = 0; i < 1000; ++i) {
        const int value = a.Next(6);
        EXPECT_EQ(value, b.Next(6));
        differs = differs || value != c.Next(6);
        ASSERT_GE(value, 0);
        ASSERT_LT(value, 6);
        seen.insert(value);
    }
    EXPECT_TRUE(differs);
    EXPECT_EQ(seen.size(), 6u);
    for (const int range : {0, -5, 1}) EXPECT_EQ(a.Next(range), 0) << range;
    a.Seed(42);
    b.Seed(42);
    EXPECT_EQ(a.Next(1 << 30), b.Next(1 << 30));
}

}  // namespace
