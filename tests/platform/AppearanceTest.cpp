#include "platform/widgets/KZAppearance.h"

#include <QProgressBar>
#include <QWidget>

#include <gtest/gtest.h>

TEST(Appearance, LightPaletteWithDarkText)
{
    const QPalette p = KZAppearance::aquaPalette();
    EXPECT_GT(p.color(QPalette::Window).lightness(), 200);
    EXPECT_GT(p.color(QPalette::Base).lightness(), 240);
    EXPECT_LT(p.color(QPalette::WindowText).lightness(), 40);
    EXPECT_NE(p.color(QPalette::Disabled, QPalette::Text), p.color(QPalette::Active, QPalette::Text));
}

TEST(Appearance, WindowsTakeTheLightPalette)
{
    QWidget window;
    QPalette dark;
    dark.setColor(QPalette::Window, Qt::black);
    window.setPalette(dark);
    KZAppearance::applyAqua(&window);
    EXPECT_EQ(window.palette().color(QPalette::Window), KZAppearance::aquaPalette().color(QPalette::Window));
    KZAppearance::applyAqua(nullptr);
}

TEST(Appearance, ABarKeepsItsFillInAnInactiveWindow)
{
    QWidget window;
    KZAppearance::applyAqua(&window);
    auto* bar = new QProgressBar(&window);
    auto* other = new QProgressBar(&window);
    // The light palette greys the highlight of inactive windows: a full bar would look empty.
    ASSERT_NE(other->palette().color(QPalette::Inactive, QPalette::Highlight),
              other->palette().color(QPalette::Active, QPalette::Highlight));
    KZAppearance::keepHighlightWhenInactive(bar);
    EXPECT_EQ(bar->palette().color(QPalette::Inactive, QPalette::Highlight),
              bar->palette().color(QPalette::Active, QPalette::Highlight));
    // Only that bar: the window and its other controls keep the palette's inactive colours.
    EXPECT_NE(other->palette().color(QPalette::Inactive, QPalette::Highlight),
              other->palette().color(QPalette::Active, QPalette::Highlight));
    KZAppearance::keepHighlightWhenInactive(nullptr);
}
