#include "treemap/TQTheme.h"

#include "model/Preferences.h"

#include <mutex>

namespace {
std::vector<std::shared_ptr<TQTheme>>*& registry()
{
    static std::vector<std::shared_ptr<TQTheme>>* r = nullptr;
    return r;
}

QColor rgb(double r, double g, double b)
{
    return QColor::fromRgbF(float(r), float(g), float(b), 1.0f);
}
} // namespace

QColor TQTheme::reloadingColor() const
{
    // The light grey of the classic palette: two thirds white.
    return QColor::fromRgbF(2.0f / 3.0f, 2.0f / 3.0f, 2.0f / 3.0f, 1.0f);
}

void TQTheme::registerTheme(std::shared_ptr<TQTheme> theme)
{
    auto& r = registry();
    if (!r) r = new std::vector<std::shared_ptr<TQTheme>>;
    r->push_back(std::move(theme));
}

const std::vector<std::shared_ptr<TQTheme>>* TQTheme::availableThemes()
{
    return registry();
}

void TQTheme::registerAvailableThemes()
{
    registerTheme(theme<TQThemeBlueSkies>());
    registerTheme(theme<TQThemeRainbow>());
    registerTheme(theme<TQThemeObsidian>());
    registerTheme(theme<TQThemeMelon>());
    registerTheme(theme<TQThemeSunrise>());
}

std::shared_ptr<TQTheme> TQTheme::themeWithName(const QString& name)
{
    const auto* r = registry();
    if (!r || r->empty()) return nullptr;
    for (const auto& t : *r)
        if (t->name() == name) return t;
    return r->front();
}

std::shared_ptr<TQTheme> TQTheme::selectedTheme(const Preferences& preferences)
{
    return themeWithName(preferences.selectedThemeName());
}

void TQTheme::resetRegistry()
{
    delete registry();
    registry() = nullptr;
}

TQThemeBlueSkies::TQThemeBlueSkies()
    : TQFixedTheme({"Blue Skies",
                    {rgb(0.26, 0.67, 0.99), rgb(0.4, 0.74, 0.99), rgb(0.55, 0.8, 0.99), rgb(0.7, 0.87, 0.99),
                     rgb(0.85, 0.93, 1.0), rgb(0.93, 0.97, 1.0)},
                    rgb(1.0, 1.0, 1.0),
                    rgb(1.0, 0.93, 0.48)})
{
}

TQThemeRainbow::TQThemeRainbow()
    : TQFixedTheme({"Rainbow",
                    {rgb(1.0, 0.32, 0.29), rgb(1.0, 0.61, 0.26), rgb(1.0, 0.9, 0.19), rgb(0.42, 0.84, 0.15),
                     rgb(0.28, 0.61, 0.95), rgb(0.66, 0.36, 0.96)},
                    rgb(1.0, 1.0, 1.0),
                    rgb(0.2, 0.2, 0.2)})
{
}

TQThemeObsidian::TQThemeObsidian()
    : TQFixedTheme({"Obsidian",
                    {rgb(0.26, 0.29, 0.3), rgb(0.92, 0.53, 0.18), rgb(0.99, 0.8, 0.26), rgb(0.63, 0.77, 0.44),
                     rgb(0.62, 0.64, 0.75), rgb(0.44, 0.57, 0.67)},
                    rgb(1.0, 1.0, 1.0),
                    rgb(0.27, 0.33, 0.37)})
{
}

TQThemeMelon::TQThemeMelon()
    : TQFixedTheme({"Melon",
                    {rgb(0.95, 0.45, 0.57), rgb(0.98, 0.63, 0.53), rgb(0.99, 0.76, 0.58), rgb(0.89, 0.92, 0.69),
                     rgb(0.77, 0.87, 0.63), rgb(0.87, 0.94, 0.78)},
                    rgb(0.97, 0.98, 0.92),
                    rgb(0.95, 0.24, 0.4)})
{
}

TQThemeSunrise::TQThemeSunrise()
    : TQFixedTheme({"Sunrise",
                    {rgb(0.41, 0.36, 0.42), rgb(0.59, 0.39, 0.4), rgb(0.77, 0.5, 0.46), rgb(0.82, 0.51, 0.46),
                     rgb(0.98, 0.75, 0.47), rgb(0.98, 0.87, 0.65)},
                    rgb(0.93, 0.89, 0.85),
                    rgb(0.24, 0.22, 0.25)})
{
}
