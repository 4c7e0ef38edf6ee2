#include "platform/widgets/KZTextStyle.h"

#include <QImage>
#include <QPainter>
#include <QPalette>

#include <gtest/gtest.h>

TEST(TextStyle, ColourFallsBackToThePalette)
{
    KZTextStyle style;
    QPalette palette;
    palette.setColor(QPalette::WindowText, Qt::darkGreen);
    EXPECT_EQ(style.resolvedColor(palette), QColor(Qt::darkGreen));
    style.color = Qt::red;
    EXPECT_EQ(style.resolvedColor(palette), QColor(Qt::red));
}

TEST(TextStyle, AttributesOverrideOnlyWhatTheySet)
{
    KZTextStyle style;
    style.color = Qt::blue;
    style.letterSpacing = 1;
    const KZTextStyle kerned = style.applying(KZTextAttributes{std::nullopt, -0.1, std::nullopt});
    EXPECT_EQ(kerned.color, QColor(Qt::blue));
    EXPECT_DOUBLE_EQ(kerned.letterSpacing, -0.1);
    EXPECT_FALSE(kerned.shadow);
}

TEST(TextStyle, RunsMeasureAsTheSumOfTheirParts)
{
    KZTextStyle style;
    style.font.setPixelSize(20);
    QFont small = style.font;
    small.setPixelSize(10);
    const QSizeF whole =
        style.size(QList<KZTextStyle::Run>{{QStringLiteral("12.3"), std::nullopt}, {QStringLiteral("GB"), small}});
    const QSizeF number = style.size(QStringLiteral("12.3"));
    EXPECT_GT(whole.width(), number.width());
    EXPECT_DOUBLE_EQ(whole.height(), number.height()) << "the larger font sets the height";
}

TEST(TextStyle, ShadowAndElisionDraw)
{
    QImage image(60, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    KZTextStyle style;
    style.font.setPixelSize(14);
    style.color = Qt::black;
    style.shadow = KZShadow{Qt::red, QPointF(0, 1), 0};
    style.alignment = Qt::AlignLeft | Qt::AlignVCenter;
    style.elideMode = Qt::ElideRight;
    QPainter painter(&image);
    const QRectF used =
        style.draw(painter, QRectF(0, 0, 60, 20), QStringLiteral("a very long title indeed"), QPalette());
    painter.end();
    EXPECT_LE(used.width(), 60.5);
    bool red = false, black = false;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 200 && c.red() > 200 && c.green() < 60) red = true;
            if (c.alpha() > 200 && c.red() < 60 && c.green() < 60) black = true;
        }
    EXPECT_TRUE(red) << "the shadow shows below the text";
    EXPECT_TRUE(black);
}
