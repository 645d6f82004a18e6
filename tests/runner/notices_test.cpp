// Bursts of reports, as a broken world makes them while it loads.

#include "KNotices.h"
#include "KWorldFile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(NoticeBurst, ShowsAFewAndCountsTheRest)
{
    TestEngine engine;
    std::string game = "~endvars\n~endimports\n";
    for (int i = 0; i < 5000; ++i) game += "~ob b 0\n0 0 0 0\n0 0 0 0\nno script start\n~pe\n~oe\n";
    Kobject root;
    root.name = "world_tree";
    std::string error;
    {
        KNoticeBurst burst(*engine);
        ASSERT_TRUE(KReadGameEntry(*engine, game, "game.qav", root, error)) << error;
        EXPECT_TRUE(engine.notices.empty()) << "held until the burst ends";
    }
    ASSERT_EQ(engine.notices.size(), kNoticesShownPerBurst + 1);
    EXPECT_EQ(engine.notices[0].body, "~pb Expected");
    EXPECT_EQ(engine.notices[0].kind, KNoticeKind::Report);
    EXPECT_EQ(engine.notices.back().body, "... and 4,995 more");
    EXPECT_EQ(engine.notices.back().kind, KNoticeKind::Report) << "shown where the reports went";

    engine->Report("after", "here", 1);
    EXPECT_EQ(engine.notices.size(), kNoticesShownPerBurst + 2) << "outside a burst reports pass at once";
    EXPECT_EQ(KMoreNoticesText(1), "... and 1 more");
    EXPECT_EQ(KMoreNoticesText(1234567), "... and 1,234,567 more");
}

}  // namespace
