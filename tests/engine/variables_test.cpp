#include "KVariables.h"

#include <gtest/gtest.h>

namespace {

TEST(VariableStore, MissingVariablesAreCreatedAsZeroAndConversionsAreLazy)
{
    KVariables store;
    EXPECT_FALSE(store.Exists("a"));
    EXPECT_EQ(store.GetInt("a"), 0);
    EXPECT_TRUE(store.Exists("a"));
    EXPECT_EQ(store.GetString("b"), "0");
    EXPECT_EQ(store.Count(), 2u);
    EXPECT_EQ(store.All()[0].name, "a") << "kept in creation order";

    // Conversions are lazy.
    store.SetString("s", "42abc");
    EXPECT_TRUE(store.IsString("s"));
    EXPECT_EQ(store.GetString("s"), "42abc");
    EXPECT_EQ(store.GetInt("s"), 42);
    EXPECT_FALSE(store.IsString("s")) << "reading the integer converts the variable";
    EXPECT_EQ(store.GetString("s"), "42");
    store.SetString("w", "word");
    store.Give("w", 1);
    EXPECT_EQ(store.GetInt("w"), 1) << "a word converts to 0 before the gift";
    store.SetString("neg", "  -17x");
    EXPECT_EQ(store.GetInt("neg"), -17);
    store.SetString("huge", "99999999999");
    EXPECT_EQ(store.GetInt("huge"), 2147483647);
}

TEST(VariableStore, TakeFailsWithoutEnoughGiveWrapsClearAndEraseAll)
{
    KVariables store;
    store.SetInt("ammo", 3);
    EXPECT_TRUE(store.Take("ammo", 5));
    EXPECT_EQ(store.GetInt("ammo"), 3);
    store.SetInt("ammo", 7);
    EXPECT_FALSE(store.Take("ammo", 5));
    EXPECT_EQ(store.GetInt("ammo"), 2);
    EXPECT_FALSE(store.Take("fresh", 0));
    EXPECT_TRUE(store.Take("broke", 1));
    EXPECT_EQ(store.GetInt("broke"), 0);

    // Give wraps around, Clear empties both forms, EraseAll forgets all.
    store.SetInt("n", 2147483647);
    store.Give("n", 1);
    EXPECT_EQ(store.GetInt("n"), -2147483647 - 1);
    store.SetString("x", "text");
    store.Clear("x");
    EXPECT_EQ(store.GetInt("x"), 0);
    EXPECT_FALSE(store.IsString("x"));
    store.EraseAll();
    EXPECT_FALSE(store.Exists("n"));
    EXPECT_EQ(store.Count(), 0u);
}

TEST(VariableStore, ChangedSeesRealChangesOnly)
{
    KVariables store;
    store.SetInt("health", 100);
    EXPECT_EQ(store.Changed("health"), 1);
    EXPECT_EQ(store.Changed("health"), 0);
    store.SetString("health", "100");
    EXPECT_EQ(store.Changed("health"), 0) << "the same value written as text is no change";
    store.SetInt("health", 90);
    EXPECT_EQ(store.Changed("health"), 1);
    store.SetString("health", "90 ");
    EXPECT_EQ(store.Changed("health"), 1) << "the text differs";
}

TEST(TextToInt, StandardDecimalConversion)
{
    const std::pair<const char*, int> kCases[] = {
        {"", 0}, {"abc", 0}, {"+12", 12}, {"-2147483648", -2147483647 - 1}, {"-99999999999", -2147483647 - 1}};
    for (const auto& [text, value] : kCases) EXPECT_EQ(KTextToInt(text), value) << text;
}

}  // namespace
