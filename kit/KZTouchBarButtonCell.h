#pragma once
// The face of a Touch Bar button: a rounded rectangle (radius 6) filled in the background
// colour with an optional gradient and outline, the title in 13-pixel text and an optional
// 16 x 16 image at the left; the pressed colours while it is held. The three colour variants
// fix the title and fill colours.

#include <QColor>
#include <QGradientStops>
#include <QRectF>
#include <QString>

#include <memory>
#include <optional>

class QPainter;
class QPalette;
class KZImage;

class KZTouchBarButtonCell {
public:
    virtual ~KZTouchBarButtonCell() = default;

    // "KZRedTouchBarButtonCell", "KZBlueTouchBarButtonCell", "KZNormalTouchBarButtonCell", else
    // the plain cell.
    static std::unique_ptr<KZTouchBarButtonCell> cellWithClassName(const QString& className);
    virtual QString className() const { return QStringLiteral("KZTouchBarButtonCell"); }
    // The Touch Bar's own colours (it is always dark): white labels, dark grey controls.
    static QPalette touchBarPalette();

    bool isMouseDown() const { return mouseDown_; }
    void setMouseDown(bool down) { mouseDown_ = down; }

    virtual QColor titleColor(const QPalette& palette) const;
    void setTitleColor(const QColor& c) { titleColor_ = c; }
    virtual QColor titleColorPressed(const QPalette& palette) const;
    void setTitleColorPressed(const QColor& c) { titleColorPressed_ = c; }
    virtual QColor backgroundColor(const QPalette& palette) const;
    void setBackgroundColor(const QColor& c) { backgroundColor_ = c; }
    virtual QColor backgroundColorPressed(const QPalette& palette) const;
    void setBackgroundColorPressed(const QColor& c) { backgroundColorPressed_ = c; }
    QColor strokeColor() const { return strokeColor_; }
    void setStrokeColor(const QColor& c) { strokeColor_ = c; }
    QColor strokeColorPressed() const { return strokeColorPressed_; }
    void setStrokeColorPressed(const QColor& c) { strokeColorPressed_ = c; }
    std::optional<QGradientStops> backgroundGradient() const { return backgroundGradient_; }
    void setBackgroundGradient(std::optional<QGradientStops> g) { backgroundGradient_ = std::move(g); }
    std::optional<QGradientStops> backgroundGradientPressed() const { return backgroundGradientPressed_; }
    void setBackgroundGradientPressed(std::optional<QGradientStops> g) { backgroundGradientPressed_ = std::move(g); }
    double cornerRadius() const { return 6; }

    void drawBezel(QPainter& painter, const QRectF& frame, const QPalette& palette) const;
    void drawInterior(QPainter& painter, const QRectF& frame, const QString& title, const KZImage& image,
                      const QPalette& palette) const;

    // Where the title and image go in a frame.
    static QRectF titleRect(const QRectF& frame, qreal titleHeight, bool hasImage);
    static QRectF imageRect(const QRectF& frame);

private:
    bool mouseDown_ = false;
    QColor titleColor_, strokeColor_, backgroundColor_;
    QColor titleColorPressed_, strokeColorPressed_, backgroundColorPressed_;
    std::optional<QGradientStops> backgroundGradient_, backgroundGradientPressed_;
};

class KZRedTouchBarButtonCell : public KZTouchBarButtonCell {
public:
    QString className() const override { return QStringLiteral("KZRedTouchBarButtonCell"); }
    QColor titleColor(const QPalette& palette) const override;
    QColor titleColorPressed(const QPalette& palette) const override;
    QColor backgroundColor(const QPalette& palette) const override;
    QColor backgroundColorPressed(const QPalette& palette) const override;
};

class KZBlueTouchBarButtonCell : public KZTouchBarButtonCell {
public:
    QString className() const override { return QStringLiteral("KZBlueTouchBarButtonCell"); }
    QColor titleColor(const QPalette& palette) const override;
    QColor titleColorPressed(const QPalette& palette) const override;
    QColor backgroundColor(const QPalette& palette) const override;
    QColor backgroundColorPressed(const QPalette& palette) const override;
};

class KZNormalTouchBarButtonCell : public KZTouchBarButtonCell {
public:
    QString className() const override { return QStringLiteral("KZNormalTouchBarButtonCell"); }
    QColor titleColor(const QPalette& palette) const override;
    QColor titleColorPressed(const QPalette& palette) const override;
    QColor backgroundColor(const QPalette& palette) const override;
    QColor backgroundColorPressed(const QPalette& palette) const override;
};
