#include "platform/widgets/KZImage.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

struct KZImage::Data {
    QString name;
    QSizeF size;
    std::unique_ptr<QSvgRenderer> svg;
    QImage bitmap;
    QIcon icon;
};

namespace {

QHash<QString, std::shared_ptr<const KZImage::Data>>& cache()
{
    static QHash<QString, std::shared_ptr<const KZImage::Data>> images;
    return images;
}

std::shared_ptr<const KZImage::Data> load(const QString& name)
{
    auto data = std::make_shared<KZImage::Data>();
    data->name = name;
    const QString svgPath = QStringLiteral(":/images/%1.svg").arg(name);
    const QString pngPath = QStringLiteral(":/images/%1.png").arg(name);
    if (QFile::exists(svgPath)) {
        data->svg = std::make_unique<QSvgRenderer>(svgPath);
        if (!data->svg->isValid()) return nullptr;
        data->size = data->svg->viewBoxF().size();
        if (data->size.isEmpty()) data->size = data->svg->defaultSize();
        return data;
    }
    if (QFile::exists(pngPath)) {
        data->bitmap = QImage(pngPath);
        if (data->bitmap.isNull()) return nullptr;
        data->size = QSizeF(data->bitmap.size()) / data->bitmap.devicePixelRatio();
        return data;
    }
    return nullptr;
}

void ensureIconTheme()
{
    static bool done = false;
    if (done) return;
    done = true;
    // Without a desktop session Qt knows no theme; Adwaita is installed with the program.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    if (QIcon::fallbackThemeName().isEmpty()) QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
}

} // namespace

KZImage KZImage::named(const QString& name)
{
    if (name.isEmpty()) return {};
    auto& images = cache();
    auto it = images.find(name);
    if (it == images.end()) it = images.insert(name, load(name));
    return KZImage(it.value());
}

QString KZImage::hoverName(const QString& name)
{
    return QStringLiteral("%1-hover").arg(name);
}

KZImage KZImage::themeIcon(const QString& iconName, const QString& fallback, QSizeF size)
{
    ensureIconTheme();
    const QIcon icon = QIcon::fromTheme(iconName);
    if (!icon.isNull()) return fromIcon(icon, size);
    KZImage own = named(fallback);
    if (own.isNull()) return {};
    auto data = std::make_shared<Data>();
    data->name = own.name();
    data->size = size;
    data->icon = own.icon();
    return KZImage(std::move(data));
}

KZImage KZImage::fromIcon(const QIcon& icon, QSizeF size)
{
    if (icon.isNull()) return {};
    auto data = std::make_shared<Data>();
    data->size = size;
    data->icon = icon;
    return KZImage(std::move(data));
}

QString KZImage::name() const
{
    return data_ ? data_->name : QString();
}

QSizeF KZImage::size() const
{
    return data_ ? data_->size : QSizeF();
}

void KZImage::draw(QPainter& painter, const QRectF& target, qreal opacity) const
{
    if (!data_ || target.isEmpty() || opacity <= 0) return;
    painter.save();
    painter.setOpacity(painter.opacity() * opacity);
    if (data_->svg) {
        data_->svg->render(&painter, target);
    } else if (!data_->bitmap.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, data_->bitmap);
    } else {
        const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        const QSize pixels = (target.size() * dpr).toSize().expandedTo(QSize(1, 1));
        QPixmap pixmap = data_->icon.pixmap(pixels);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(target, pixmap, QRectF(pixmap.rect()));
    }
    painter.restore();
}

QImage KZImage::render(QSize pixelSize) const
{
    QImage out(pixelSize.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    if (!data_) return out;
    QPainter painter(&out);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter, QRectF(QPointF(0, 0), QSizeF(pixelSize)));
    return out;
}

QIcon KZImage::icon() const
{
    if (!data_) return {};
    if (!data_->icon.isNull()) return data_->icon;
    const QSize natural = data_->size.toSize().expandedTo(QSize(1, 1));
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(render(natural)));
    icon.addPixmap(QPixmap::fromImage(render(natural * 2)));
    return icon;
}
