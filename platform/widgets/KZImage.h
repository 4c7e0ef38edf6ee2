#pragma once
// Images looked up by name in the program's resources (":/images/<name>.svg" or ".png"),
// and icons from the desktop's icon theme. A named image remembers its name, so a control
// can find its hover twin ("<name>-hover"). Lookups are cached for the life of the process;
// use on the main thread only.

#include <QIcon>
#include <QImage>
#include <QSizeF>
#include <QString>

#include <memory>

class QPainter;
class QRectF;

class KZImage {
public:
    KZImage() = default;

    // The resource image of that name; a null image when there is none.
    static KZImage named(const QString& name);
    // The name of an image's hover twin: "%@-hover".
    static QString hoverName(const QString& name);
    // An icon of the desktop theme (freedesktop naming), else the named resource image
    // `fallback`, shown at `size`.
    static KZImage themeIcon(const QString& iconName, const QString& fallback, QSizeF size);
    // An unnamed image from an icon, shown at `size`.
    static KZImage fromIcon(const QIcon& icon, QSizeF size);

    bool isNull() const { return !data_; }
    QString name() const;
    // The natural size in device-independent pixels.
    QSizeF size() const;

    // Draws the whole image stretched into the target (both axes independently).
    void draw(QPainter& painter, const QRectF& target, qreal opacity = 1.0) const;
    // The image rendered at a pixel size (for effects such as darkening).
    QImage render(QSize pixelSize) const;
    QIcon icon() const;

    // Same image object (not merely equal pixels).
    friend bool operator==(const KZImage& a, const KZImage& b) { return a.data_ == b.data_; }
    friend bool operator!=(const KZImage& a, const KZImage& b) { return !(a == b); }

    struct Data;

private:
    explicit KZImage(std::shared_ptr<const Data> data) : data_(std::move(data)) {}
    std::shared_ptr<const Data> data_;
};
