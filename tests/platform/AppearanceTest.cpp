#include "platform/widgets/KZAppearance.h"

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
