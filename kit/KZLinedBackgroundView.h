#pragma once
// A background with thin vertical lines: a colour, an image over it, and a one-pixel line
// every two pixels from the left edge (the finished screen's backdrop).

#include "platform/widgets/KZImage.h"

#include <QColor>
#include <QList>
#include <QPixmap>
#include <QRectF>
#include <QWidget>

class KZLinedBackgroundView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor backgroundColor READ backgroundColor WRITE setBackgroundColor)
    Q_PROPERTY(QString backgroundImageName READ backgroundImageName WRITE setBackgroundImageName)
    Q_PROPERTY(QColor lineColor READ lineColor WRITE setLineColor)
public:
    explicit KZLinedBackgroundView(QWidget* parent = nullptr);

    // The setters only store; the next redraw shows them.
    QColor backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const QColor& color) { backgroundColor_ = color; }
    KZImage backgroundImage() const { return backgroundImage_; }
    void setBackgroundImage(const KZImage& image) { backgroundImage_ = image; }
    QString backgroundImageName() const { return backgroundImage_.name(); }
    void setBackgroundImageName(const QString& name) { backgroundImage_ = KZImage::named(name); }
    // White at alpha 0.35 once the view has drawn without one.
    QColor lineColor() const { return lineColor_; }
    void setLineColor(const QColor& color) { lineColor_ = color; }

    // The line rectangles for a view of that size: (2i, 0, 1, height) for every i whose
    // line starts inside the width.
    static QList<QRectF> lineRects(QSizeF size);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor backgroundColor_;
    KZImage backgroundImage_;
    QColor lineColor_;
    // What the view draws at its current size, made again when the size or a setting changes.
    QPixmap cache_;
    QColor cacheBackground_, cacheLines_;
    KZImage cacheImage_;
};
