#pragma once
// Colour themes of the treemap: six depth colours, a file colour and a selection colour per
// theme, plus light grey for folders being rescanned. The class keeps the registry of the
// available themes, filled once at launch, and finds the theme the settings select.

#include <QColor>
#include <QString>

#include <memory>
#include <vector>

class Preferences;

class TQTheme {
public:
    virtual ~TQTheme() = default;

    // The base theme has no name and no colours (invalid QColor); each theme overrides all.
    virtual QString name() const { return {}; }
    virtual QColor depth1Color() const { return {}; }
    virtual QColor depth2Color() const { return {}; }
    virtual QColor depth3Color() const { return {}; }
    virtual QColor depth4Color() const { return {}; }
    virtual QColor depth5Color() const { return {}; }
    virtual QColor depth6Color() const { return {}; }
    virtual QColor fileColor() const { return {}; }
    virtual QColor selectionColor() const { return {}; }
    // The same light grey for every theme.
    QColor reloadingColor() const;

    template <class T>
    static std::shared_ptr<TQTheme> theme()
    {
        return std::make_shared<T>();
    }

    static void registerTheme(std::shared_ptr<TQTheme> theme);
    // The registry in registration order; null before the first registration.
    static const std::vector<std::shared_ptr<TQTheme>>* availableThemes();
    // Registers Blue Skies, Rainbow, Obsidian, Melon and Sunrise, in that order.
    static void registerAvailableThemes();
    // The first registered theme of that name, else the first registered theme; null when
    // nothing is registered.
    static std::shared_ptr<TQTheme> themeWithName(const QString& name);
    // The theme named by the settings' selectedThemeName, by themeWithName.
    static std::shared_ptr<TQTheme> selectedTheme(const Preferences& preferences);
    // Empties the registry (tests).
    static void resetRegistry();
};

// A theme made of fixed colours: a name, six depth colours, the file and selection colours.
class TQFixedTheme : public TQTheme {
public:
    struct Palette {
        const char* name;
        QColor depth[6];
        QColor file;
        QColor selection;
    };
    QString name() const override { return QString::fromLatin1(palette_.name); }
    QColor depth1Color() const override { return palette_.depth[0]; }
    QColor depth2Color() const override { return palette_.depth[1]; }
    QColor depth3Color() const override { return palette_.depth[2]; }
    QColor depth4Color() const override { return palette_.depth[3]; }
    QColor depth5Color() const override { return palette_.depth[4]; }
    QColor depth6Color() const override { return palette_.depth[5]; }
    QColor fileColor() const override { return palette_.file; }
    QColor selectionColor() const override { return palette_.selection; }

protected:
    explicit TQFixedTheme(Palette palette) : palette_(std::move(palette)) {}

private:
    Palette palette_;
};

class TQThemeBlueSkies : public TQFixedTheme {
public:
    TQThemeBlueSkies();
};

class TQThemeRainbow : public TQFixedTheme {
public:
    TQThemeRainbow();
};

class TQThemeObsidian : public TQFixedTheme {
public:
    TQThemeObsidian();
};

class TQThemeMelon : public TQFixedTheme {
public:
    TQThemeMelon();
};

class TQThemeSunrise : public TQFixedTheme {
public:
    TQThemeSunrise();
};
