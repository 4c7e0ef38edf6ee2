#include "kit/ITPathbar.h"

#include "kit/ITPathbarAccessibility.h"
#include "platform/widgets/KZAccessibleWidget.h"

#include "model/KZPath.h"
#include "platform/KZPathString.h"
#include "platform/KZUserDatabase.h"
#include "platform/widgets/KZTextStyle.h"

#include <QFontMetricsF>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <sys/stat.h>

namespace {

// The desktop theme's icon for a folder or file, else our own.
KZImage desktopIcon(const std::string& path, qreal size)
{
    struct stat st {};
    const bool isFolder = ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    const QSizeF box(size, size);
    if (isFolder || path == "/") {
        QString name = QStringLiteral("folder");
        if (path == "/")
            name = QStringLiteral("drive-harddisk");
        else if (kz_isEqualToPath(path, kz::homeDirectoryForCurrentUser()))
            name = QStringLiteral("user-home");
        return KZImage::themeIcon(name, QStringLiteral("icon-folder"), box);
    }
    static QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(kz::displayString(path), QMimeDatabase::MatchExtension);
    for (const QString& name : {type.iconName(), type.genericIconName()}) {
        const KZImage icon = KZImage::themeIcon(name, QString(), box);
        if (!icon.isNull()) return icon;
    }
    return KZImage::themeIcon(QStringLiteral("text-x-generic"), QStringLiteral("icon-file"), box);
}

} // namespace

ITPathbar::ITPathbar(QWidget* parent) : QWidget(parent)
{
    KZAccessibleWidget::registerClass(staticMetaObject, [](QWidget* widget) -> QAccessibleInterface* {
        return new ITPathbarAccessibility(static_cast<ITPathbar*>(widget));
    });
    separator_ = KZImage::named(QStringLiteral("ITPathbar-separator"));
    iconProvider_ = desktopIcon;
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ITPathbar::awakeFromNib()
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void ITPathbar::setIconProvider(IconProvider provider)
{
    iconProvider_ = provider ? std::move(provider) : IconProvider(desktopIcon);
    rebuild();
}

QFont ITPathbar::titleFont() const
{
    QFont f = font();
    f.setPixelSize(11);
    return f;
}

qreal ITPathbar::textHeight() const
{
    return QFontMetricsF(titleFont()).height();
}

std::vector<std::string> ITPathbar::componentPaths(const std::string& base, const std::string& path)
{
    const std::string trimmed = kz::pathWithoutTrailingSlash(path);
    std::vector<std::string> result;
    std::string partial;
    for (const std::string& component : kz_pathComponents(trimmed)) {
        if (component == "/") {
            if (!partial.empty()) continue;
            partial.push_back('/');
        } else {
            if (partial.empty() || partial.back() != '/') partial += '/';
            partial += component;
        }
        if (kz_isChildOfPath(partial, base) || kz_isEqualToPath(partial, base)) result.push_back(partial);
    }
    return result;
}

void ITPathbar::setURL(const std::string& path)
{
    url_ = path;
    if (!baseURL_) baseURL_ = path;
    rebuild();
}

void ITPathbar::rebuild()
{
    cells_.clear();
    if (baseURL_) {
        const qreal th = textHeight();
        for (const std::string& partial : componentPaths(*baseURL_, url_)) {
            ITPathbarComponentCell cell;
            cell.title = partial == "/" ? QStringLiteral("/") : kz_localizedFileName(partial);
            cell.image = iconProvider_ ? iconProvider_(partial, th) : KZImage();
            cell.url = partial;
            cells_.push_back(std::move(cell));
        }
    }
    updateGeometry();
    update();
    ITPathbarAccessibility::componentsChanged(this);
}

QList<ITPathbar::Layout> ITPathbar::layoutComponents(QSizeF barSize) const
{
    QList<Layout> layouts;
    const size_t n = cells_.size();
    if (n == 0) return layouts;
    const qreal th = textHeight();
    const qreal sepWidth = separator_.isNull() ? 8 : separator_.size().width();
    const QFontMetricsF fm(titleFont());
    // Fixed part of each component: icon and gaps, and the separator for all but the last.
    std::vector<qreal> fixed(n), titles(n);
    qreal total = 0;
    for (size_t i = 0; i < n; ++i) {
        fixed[i] = th + 9 + 4 + (i + 1 < n ? sepWidth : 0);
        titles[i] = std::ceil(fm.horizontalAdvance(cells_[i].title));
        total += fixed[i] + titles[i];
    }
    total -= overlapAmount * qreal(n - 1);
    if (total > barSize.width()) {
        // Shrink the longest names first: cap every name at the widest width that fits.
        qreal room = barSize.width() - (total - std::accumulate(titles.begin(), titles.end(), 0.0));
        room = std::max<qreal>(0, room);
        std::vector<qreal> sorted = titles;
        std::sort(sorted.begin(), sorted.end());
        qreal cap = 0, used = 0;
        for (size_t i = 0; i < n; ++i) {
            const qreal remaining = qreal(n - i);
            const qreal level = (room - used) / remaining;
            if (level <= sorted[i]) {
                cap = level;
                break;
            }
            used += sorted[i];
            cap = sorted[i];
        }
        for (qreal& t : titles) t = std::min(t, std::floor(std::max<qreal>(0, cap)));
    }
    qreal x = 0;
    const qreal height = barSize.height();
    const qreal titleY = std::round((height - th) / 2);
    for (size_t i = 0; i < n; ++i) {
        Layout l;
        const qreal width = fixed[i] + titles[i];
        l.frame = QRectF(x, 0, width, height);
        l.iconRect = QRectF(std::round(x + 6), titleY, std::round(th), std::round(th));
        const qreal titleLeft = x + th + 9;
        const qreal titleRight = x + width - (i + 1 < n ? sepWidth : 0);
        l.titleRect = QRectF(titleLeft, titleY, std::max<qreal>(0, titleRight - titleLeft), th);
        if (i + 1 < n) l.separatorRect = QRectF(x + width - sepWidth, 0, sepWidth, height);
        layouts.append(l);
        x += width - overlapAmount;
    }
    return layouts;
}

int ITPathbar::componentAt(QPointF point) const
{
    const auto layouts = layoutComponents(QSizeF(size()));
    for (int i = 0; i < layouts.size(); ++i) {
        QRectF hit = layouts[i].frame;
        // The overlap belongs to the component to the right.
        if (i + 1 < layouts.size()) hit.setRight(hit.right() - overlapAmount);
        if (hit.contains(point)) return i;
    }
    return -1;
}

void ITPathbar::mouseDoubleClickEvent(QMouseEvent* event)
{
    const int index = componentAt(event->position());
    if (index < 0) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    event->accept();
    activateComponent(index);
}

void ITPathbar::activateComponent(int index)
{
    if (index < 0 || size_t(index) >= cells_.size()) return;
    clickedPath_ = cells_[size_t(index)].url;
    emit doubleClicked(kz::toByteArray(*clickedPath_));
}

void ITPathbar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) rebuild();
    QWidget::changeEvent(event);
}

QSize ITPathbar::sizeHint() const
{
    qreal width = 0;
    for (const Layout& l : layoutComponents(QSizeF(1e6, 22))) width = std::max(width, l.frame.right());
    return QSize(int(std::ceil(width)), 22);
}

QSize ITPathbar::minimumSizeHint() const
{
    return QSize(0, 22);
}

void ITPathbar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgbF(0.95f, 0.95f, 0.95f, 1.0f));
    painter.setRenderHint(QPainter::Antialiasing);
    KZTextStyle style;
    style.font = titleFont();
    style.color = QColor(Qt::black);
    style.shadow = KZShadow{Qt::white, QPointF(0, 1), 0};
    style.alignment = Qt::AlignLeft | Qt::AlignVCenter;
    style.elideMode = Qt::ElideRight;
    const auto layouts = layoutComponents(QSizeF(size()));
    for (int i = 0; i < layouts.size(); ++i) {
        const Layout& l = layouts[i];
        if (!l.separatorRect.isEmpty()) separator_.draw(painter, l.separatorRect);
        const ITPathbarComponentCell& cell = cells_[size_t(i)];
        if (!cell.image.isNull()) cell.image.draw(painter, l.iconRect);
        if (l.titleRect.width() > 0) style.draw(painter, l.titleRect, cell.title, palette());
    }
}
