#pragma once
// Colour themes of the treemap: six depth colours, a file colour and a selection colour per
// theme, plus light grey for folders being rescanned. The class keeps the registry of the
// available themes, filled once at launch.

#include <QColor>
#include <QString>

#include <memory>
#include <vector>

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
    // Empties the registry (tests).
    static void resetRegistry();
};

class TQThemeBlueSkies : public TQTheme {
public:
    QString name() const override;
    QColor depth1Color() const override;
    QColor depth2Color() const override;
    QColor depth3Color() const override;
    QColor depth4Color() const override;
    QColor depth5Color() const override;
    QColor depth6Color() const override;
    QColor fileColor() const override;
    QColor selectionColor() const override;
};

class TQThemeRainbow : public TQTheme {
public:
    QString name() const override;
    QColor depth1Color() const override;
    QColor depth2Color() const override;
    QColor depth3Color() const override;
    QColor depth4Color() const override;
    QColor depth5Color() const override;
    QColor depth6Color() const override;
    QColor fileColor() const override;
    QColor selectionColor() const override;
};

class TQThemeObsidian : public TQTheme {
public:
    QString name() const override;
    QColor depth1Color() const override;
    QColor depth2Color() const override;
    QColor depth3Color() const override;
    QColor depth4Color() const override;
    QColor depth5Color() const override;
    QColor depth6Color() const override;
    QColor fileColor() const override;
    QColor selectionColor() const override;
};

class TQThemeMelon : public TQTheme {
public:
    QString name() const override;
    QColor depth1Color() const override;
    QColor depth2Color() const override;
    QColor depth3Color() const override;
    QColor depth4Color() const override;
    QColor depth5Color() const override;
    QColor depth6Color() const override;
    QColor fileColor() const override;
    QColor selectionColor() const override;
};

class TQThemeSunrise : public TQTheme {
public:
    QString name() const override;
    QColor depth1Color() const override;
    QColor depth2Color() const override;
    QColor depth3Color() const override;
    QColor depth4Color() const override;
    QColor depth5Color() const override;
    QColor depth6Color() const override;
    QColor fileColor() const override;
    QColor selectionColor() const override;
};
