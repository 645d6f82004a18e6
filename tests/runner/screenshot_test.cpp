#include "KScreenshot.h"
#include "TestSupport.h"

#include <allegro.h>
#include <gtest/gtest.h>
#include <loadpng.h>

namespace {

TEST(Screenshots, AreNumberedAndNeverOverwritten)
{
    TempDir dir;
    EXPECT_EQ(KScreenshotName("Worlds/Screens", 7), "Worlds/Screens/00007.bmp");
    EXPECT_EQ(KScreenshotName("s", 12345), "s/12345.bmp");
    EXPECT_EQ(KNextScreenshotName(dir.Path()), dir.File("00000.bmp"));
    WriteFileBytes(dir.File("00000.bmp"), "x");
    WriteFileBytes(dir.File("00002.bmp"), "x");
    EXPECT_EQ(KNextScreenshotName(dir.Path()), dir.File("00001.bmp")) << "the first free number";
    WriteFileBytes(dir.File("00001.bmp"), "x");
    EXPECT_EQ(KNextScreenshotName(dir.Path()), dir.File("00003.bmp"));
    RunCommand("ln -s nowhere '" + dir.File("00003.bmp") + "'");
    EXPECT_EQ(KNextScreenshotName(dir.Path()), dir.File("00004.bmp")) << "a dangling link is a file too";
}

TEST(Screenshots, SaveWithThePaletteAsBmpOrPng)
{
    TempDir dir;
    KBitmap picture = KMakeBitmap(16, 8);
    for (int x = 0; x < 16; ++x) picture->line[3][x] = static_cast<uint8_t>(x * 10);
    KPalette palette{};
    for (size_t i = 0; i < palette.size(); ++i) palette[i] = KRGB{static_cast<uint8_t>(i % 64), 5, static_cast<uint8_t>(63 - i % 64), 0};
    for (const std::string name : {"shot.bmp", "shot.png", "SHOT.PNG", "shot.other"}) {
        ASSERT_TRUE(KSaveImage(dir.File(name), picture.get(), palette)) << name;
        PALETTE loadedPalette;
        const bool png = name.find("png") != std::string::npos || name.find("PNG") != std::string::npos;
        KBitmap loaded(png ? load_png(dir.File(name).c_str(), loadedPalette) : load_bmp(dir.File(name).c_str(), loadedPalette));
        ASSERT_TRUE(loaded) << name;
        EXPECT_EQ(bitmap_color_depth(loaded.get()), 8) << name;
        for (int x = 0; x < 16; ++x) EXPECT_EQ(loaded->line[3][x], x * 10) << name;
        EXPECT_EQ(loadedPalette[70].r, 6) << name;
        EXPECT_EQ(loadedPalette[70].b, 57) << name;
    }
    EXPECT_FALSE(KSaveImage(dir.File("missing/shot.bmp"), picture.get(), palette)) << "folders are not made";
    EXPECT_FALSE(KSaveImage(dir.File("none.bmp"), nullptr, palette));
}

}  // namespace
