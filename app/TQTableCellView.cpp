#include "app/TQTableCellView.h"

#include "model/KZPath.h"
#include "platform/widgets/KZWorkspace.h"

#include <QPainter>

namespace {
QFont titleFont()
{
    QFont font;
    font.setPixelSize(13);
    return font;
}

QFont subtitleFont()
{
    QFont font;
    font.setPixelSize(11);
    return font;
}
} // namespace

TQTableCellView::TQTableCellView(QWidget* parent)
    : QWidget(parent), textFieldColor_(QColor(34, 34, 34)), subTitleFieldColor_(QColor(118, 118, 118))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    updateTextColor();
}

const KZMemoryFormatter& TQTableCellView::sharedFormatter()
{
    static const KZMemoryFormatter formatter;
    return formatter;
}

void TQTableCellView::setPath(const std::string& path)
{
    path_ = path;
    updateTitles();
}

void TQTableCellView::setFileSize(double bytes)
{
    fileSize_ = bytes;
    updateTitles();
}

void TQTableCellView::updateTitles()
{
    if (!path_.empty()) {
        setTitle(kz_localizedFileName(path_));
        if (iconPath_ != path_) updateIcon();
    }
    if (fileSize_ != 0) setSubtitle(tr("Size: %1").arg(sharedFormatter().stringFromBytes(fileSize_)));
}

void TQTableCellView::updateIcon()
{
    loadIcon(path_);
}

void TQTableCellView::loadIcon(const std::string& path)
{
    iconPath_ = path;
    icon_ = kz_genericFileIcon();
    const unsigned request = ++iconRequest_;
    if (!path.empty()) {
        kz_asyncIconForFile(path, this, [this, request](const QIcon& icon) {
            // A cell reused for another item meanwhile keeps that item's icon.
            if (request != iconRequest_ || icon.isNull()) return;
            icon_ = icon;
            update();
        });
    }
    update();
}

void TQTableCellView::setIconPath(const std::string& path)
{
    if (iconPath_ == path && !icon_.isNull()) return;
    loadIcon(path);
}

void TQTableCellView::setTitle(const QString& title)
{
    if (title_ == title) return;
    title_ = title;
    update();
}

void TQTableCellView::setSubtitle(const QString& subtitle)
{
    if (subtitle_ == subtitle) return;
    subtitle_ = subtitle;
    update();
}

void TQTableCellView::setTitleElideMode(Qt::TextElideMode mode)
{
    titleElideMode_ = mode;
    update();
}

void TQTableCellView::setBackgroundStyle(BackgroundStyle style)
{
    backgroundStyle_ = style;
    updateTextColor();
}

void TQTableCellView::updateTextColor()
{
    const bool dark = backgroundStyle_ == BackgroundStyle::Dark;
    titleColor_ = dark ? QColor(Qt::white) : textFieldColor_;
    subtitleColor_ = dark ? QColor(Qt::white) : subTitleFieldColor_;
    update();
}

void TQTableCellView::prepareForReuse()
{
    ++iconRequest_;
    path_.clear();
    iconPath_.clear();
    fileSize_ = 0;
    title_.clear();
    subtitle_.clear();
    icon_ = QIcon();
    update();
}

void TQTableCellView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int margin = 8;
    const QRect iconRect(margin, (height() - iconSize) / 2, iconSize, iconSize);
    if (!icon_.isNull()) icon_.paint(&p, iconRect);

    const int textLeft = iconRect.right() + 1 + margin;
    const int textWidth = std::max(0, width() - textLeft - margin);
    const QFont tf = titleFont(), sf = subtitleFont();
    const QFontMetrics tm(tf), sm(sf);
    const bool twoLines = !subtitle_.isEmpty();
    const int gap = 2;
    const int blockHeight = tm.height() + (twoLines ? gap + sm.height() : 0);
    int y = (height() - blockHeight) / 2;

    p.setFont(tf);
    p.setPen(titleColor_);
    p.drawText(QRect(textLeft, y, textWidth, tm.height()), Qt::AlignLeft | Qt::AlignVCenter,
               tm.elidedText(title_, titleElideMode_, textWidth));
    if (twoLines) {
        y += tm.height() + gap;
        p.setFont(sf);
        p.setPen(subtitleColor_);
        p.drawText(QRect(textLeft, y, textWidth, sm.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   sm.elidedText(subtitle_, Qt::ElideRight, textWidth));
    }
}
