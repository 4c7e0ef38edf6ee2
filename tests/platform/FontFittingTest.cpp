#include "platform/widgets/KZFontFitting.h"

#include <QFontMetricsF>

#include <gtest/gtest.h>

TEST(FontFitting, ScaleIsTheTighterAxis)
{
    EXPECT_DOUBLE_EQ(kz_scaleToAspectFit(QSizeF(10, 10), QSizeF(40, 20), 0), 2);
    EXPECT_DOUBLE_EQ(kz_scaleToAspectFit(QSizeF(10, 10), QSizeF(40, 20), 10), 1);
}

TEST(FontFitting, FittedFontFitsTheBox)
{
    QFont base;
    const auto font = kz_fontToFitSize(QStringLiteral("12345"), QSizeF(200, 60), base);
    ASSERT_TRUE(font);
    EXPECT_GT(font->pixelSize(), 12);
    EXPECT_LE(QFontMetricsF(*font).horizontalAdvance(QStringLiteral("12345")), 200.5);
    EXPECT_FALSE(kz_fontToFitSize(QString(), QSizeF(200, 60), base));
    EXPECT_FALSE(kz_fontToFitSize(QStringLiteral("1"), QSizeF(0, 0), base)) << "an empty box keeps the font";
}
