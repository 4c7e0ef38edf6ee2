#pragma once
// A strip of a colour theme's colours: the six folder-depth colours, then the file colour,
// each a rounded square with a caption. Shown in the preferences' colour-theme pane.

#include <QWidget>

#include <memory>

class TQTheme;

class TQThemeSwatchView : public QWidget {
    Q_OBJECT
public:
    explicit TQThemeSwatchView(QWidget* parent = nullptr);

    std::shared_ptr<TQTheme> theme() const { return theme_; }
    void setTheme(std::shared_ptr<TQTheme> theme);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::shared_ptr<TQTheme> theme_;
};
