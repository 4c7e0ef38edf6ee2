#include "treemap/TQTheme.h"

#include "model/Preferences.h"
#include "platform/KZUserDefaults.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(Theme, RegistryOrderAndLookup)
{
    TQTheme::resetRegistry();
    EXPECT_EQ(TQTheme::availableThemes(), nullptr);
    EXPECT_EQ(TQTheme::themeWithName("Blue Skies"), nullptr);
    TQTheme::registerAvailableThemes();
    const auto* themes = TQTheme::availableThemes();
    ASSERT_EQ(themes->size(), 5u);
    const QStringList names{"Blue Skies", "Rainbow", "Obsidian", "Melon", "Sunrise"};
    for (size_t i = 0; i < themes->size(); ++i) EXPECT_EQ((*themes)[i]->name(), names[int(i)]);
    EXPECT_EQ(TQTheme::themeWithName("nope")->name(), "Blue Skies");
    EXPECT_EQ(TQTheme::themeWithName(QString())->name(), "Blue Skies");
    const auto first = TQTheme::themeWithName("Melon");
    TQTheme::registerAvailableThemes();
    EXPECT_EQ(TQTheme::availableThemes()->size(), 10u);
    EXPECT_EQ(TQTheme::themeWithName("Melon"), first);
    TQTheme::resetRegistry();
}

TEST(Theme, Colours)
{
    TQThemeBlueSkies blue;
    EXPECT_NEAR(blue.depth1Color().redF(), 0.26, 1e-4);
    EXPECT_NEAR(blue.selectionColor().blueF(), 0.48, 1e-4);
    TQThemeSunrise sunrise;
    EXPECT_NEAR(sunrise.fileColor().greenF(), 0.89, 1e-4);
    EXPECT_NEAR(sunrise.reloadingColor().redF(), 2.0 / 3.0, 1e-4);
    TQTheme base;
    EXPECT_FALSE(base.depth1Color().isValid());
}

TEST(Theme, SelectedThemeFallsBackToTheFirst)
{
    kztest::TempDir dir;
    TQTheme::resetRegistry();
    TQTheme::registerAvailableThemes();
    KZUserDefaults store(QString::fromStdString(dir / "settings.json"));
    Preferences p(store);
    p.setSelectedThemeName("No Such Theme");
    ASSERT_TRUE(TQTheme::selectedTheme(p));
    EXPECT_EQ(TQTheme::selectedTheme(p)->name(), QStringLiteral("Blue Skies"));
    p.setSelectedThemeName("Melon");
    EXPECT_EQ(TQTheme::selectedTheme(p)->name(), QStringLiteral("Melon"));
    TQTheme::resetRegistry();
}
