#include "platform/widgets/KZImage.h"

#include <QPainter>

#include <gtest/gtest.h>

TEST(Image, NamedImagesComeFromTheResources)
{
    const KZImage separator = KZImage::named(QStringLiteral("ITPathbar-separator"));
    ASSERT_FALSE(separator.isNull());
    EXPECT_EQ(separator.name(), QStringLiteral("ITPathbar-separator"));
    EXPECT_EQ(separator.size(), QSizeF(10, 22));
    EXPECT_EQ(KZImage::named(QStringLiteral("ITPathbar-separator")), separator) << "looked up once";
    EXPECT_TRUE(KZImage::named(QStringLiteral("no-such-image")).isNull());
    EXPECT_TRUE(KZImage::named(QString()).isNull());
}

TEST(Image, EveryDrawnImageExists)
{
    for (const char* name :
         {"ITPathbar-separator", "progress-background-left", "progress-background-middle", "progress-background-right",
          "progress-left-corner", "progress-middle", "progress-right-corner", "background-status", "icon-add",
          "icon-add-hover", "icon-folder", "icon-file"}) {
        const KZImage image = KZImage::named(QString::fromLatin1(name));
        ASSERT_FALSE(image.isNull()) << name;
        const QImage pixels = image.render(QSize(32, 32));
        bool painted = false;
        for (int y = 0; y < pixels.height() && !painted; ++y)
            for (int x = 0; x < pixels.width() && !painted; ++x) painted = qAlpha(pixels.pixel(x, y)) > 0;
        EXPECT_TRUE(painted) << name;
    }
}

TEST(Image, HoverTwinName)
{
    EXPECT_EQ(KZImage::hoverName(QStringLiteral("icon-add")), QStringLiteral("icon-add-hover"));
}

TEST(Image, ThemeIconsFallBackToOurOwn)
{
    const KZImage folder = KZImage::themeIcon(QStringLiteral("folder"), QStringLiteral("icon-folder"), QSizeF(16, 16));
    EXPECT_FALSE(folder.isNull());
    EXPECT_EQ(folder.size(), QSizeF(16, 16));
    const KZImage missing =
        KZImage::themeIcon(QStringLiteral("no-such-theme-icon-xyz"), QStringLiteral("icon-file"), QSizeF(20, 20));
    ASSERT_FALSE(missing.isNull());
    EXPECT_EQ(missing.name(), QStringLiteral("icon-file"));
    EXPECT_TRUE(KZImage::themeIcon(QStringLiteral("no-such-theme-icon-xyz"), QString(), QSizeF(8, 8)).isNull());
}
