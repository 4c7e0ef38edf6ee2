#pragma once
// A background view: a colour fill in a rounded rectangle, an optional border and shadow, and
// an image stretched over the whole view. Screens use it as a container (the results screen's
// content view, the finished screen's panel). Everything it draws is scaled by alphaValue.

#include "kit/KZInterfaceFile.h"
#include "platform/widgets/KZImage.h"
#include "platform/widgets/KZTextStyle.h"

#include <QColor>
#include <QWidget>

#include <optional>

class QPainterPath;

class KZView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor backgroundColor READ backgroundColor WRITE setBackgroundColor)
    Q_PROPERTY(QString backgroundImageName READ backgroundImageName WRITE setBackgroundImageName)
    Q_PROPERTY(double cornerRadius READ cornerRadius WRITE setCornerRadius)
    Q_PROPERTY(QColor borderColor READ borderColor WRITE setBorderColor)
    Q_PROPERTY(double borderWidth READ borderWidth WRITE setBorderWidth)
    Q_PROPERTY(double alphaValue READ alphaValue WRITE setAlphaValue)
public:
    explicit KZView(QWidget* parent = nullptr);

    // An invalid colour means none.
    QColor backgroundColor() const { return backgroundColor_; }
    // Redraws only when the colour changes.
    void setBackgroundColor(const QColor& color);
    KZImage backgroundImage() const { return backgroundImage_; }
    void setBackgroundImage(const KZImage& image);
    QString backgroundImageName() const { return backgroundImage_.name(); }
    void setBackgroundImageName(const QString& name) { setBackgroundImage(KZImage::named(name)); }
    // The three below only store: they show at the next redraw.
    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double radius) { cornerRadius_ = radius; }
    QColor borderColor() const { return borderColor_; }
    void setBorderColor(const QColor& color) { borderColor_ = color; }
    double borderWidth() const { return borderWidth_; }
    void setBorderWidth(double width) { borderWidth_ = width; }
    std::optional<KZShadow> shadow() const { return shadow_; }
    void setShadow(const std::optional<KZShadow>& shadow);
    double alphaValue() const { return alphaValue_; }
    void setAlphaValue(double alpha);

    bool isBordered() const { return borderColor_.isValid() && borderWidth_ != 0; }
    // The outline the fill and border follow, for a view of the given size.
    QPainterPath shapePath(QSizeF size) const;
    // The fill colour with the view's alpha applied.
    QColor effectiveBackgroundColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor backgroundColor_;
    KZImage backgroundImage_;
    double cornerRadius_ = 0;
    QColor borderColor_;
    double borderWidth_ = 0;
    std::optional<KZShadow> shadow_;
    double alphaValue_ = 1.0;
};
