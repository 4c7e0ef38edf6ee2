#include "platform/KZColor.h"

#include <gtest/gtest.h>

TEST(Color, LuminanceAndDarkness)
{
    EXPECT_NEAR(kz_luminance(Qt::black), 0.0, 1e-9);
    EXPECT_NEAR(kz_luminance(Qt::white), 1.0, 1e-6);
    EXPECT_NEAR(kz_luminance(QColor::fromRgbF(0.5f, 0.5f, 0.5f)), 0.5339, 1e-3);
    EXPECT_TRUE(kz_isDarkColor(Qt::black));
    EXPECT_FALSE(kz_isDarkColor(Qt::white));
    EXPECT_EQ(kz_luminance(QColor()), 0.0);
    EXPECT_TRUE(kz_isDarkColor(QColor()));
}

TEST(Color, LegibleTextColour)
{
    const QColor onBlack = kz_legibleTextColor(Qt::black);
    EXPECT_NEAR(onBlack.redF(), 1.0, 1e-6);
    EXPECT_NEAR(onBlack.alphaF(), 0.9, 1e-3);
    const QColor onWhite = kz_legibleTextColor(Qt::white);
    EXPECT_NEAR(onWhite.valueF(), 0.2, 1e-3);
    EXPECT_NEAR(onWhite.saturationF(), 0.0, 1e-6);
    EXPECT_NEAR(onWhite.alphaF(), 1.0, 1e-6);
}

TEST(Color, EasyHueAndBlending)
{
    const QColor c = kz_colorWithEasyHue(180, 50, 100);
    EXPECT_NEAR(c.hsvHueF(), 0.5, 1e-3);
    EXPECT_NEAR(c.hsvSaturationF(), 0.5, 1e-3);
    EXPECT_NEAR(c.valueF(), 1.0, 1e-6);
    const QColor blended = kz_blendedColor(QColor::fromRgbF(1.0f, 0.5f, 0.0f), 0.3, Qt::black);
    EXPECT_NEAR(blended.redF(), 0.7, 1e-3);
    EXPECT_NEAR(blended.greenF(), 0.35, 1e-3);
    EXPECT_NEAR(blended.blueF(), 0.0, 1e-6);
}
