#include "app/TQTreemapTooltip.h"

#include "model/KZMemoryFormatter.h"

#include <QFontMetricsF>
#include <QLocale>

#include <cmath>

namespace {

// Shared by every results screen: the tooltip's size formatter and date format.
const KZMemoryFormatter& tooltipFormatter()
{
    static const KZMemoryFormatter formatter;
    return formatter;
}

QString formatTooltipDate(const QDateTime& date)
{
    if (!date.isValid()) return {};
    return QLocale().toString(date, QStringLiteral("MMMM dd, yyyy 'at' hh:mm AP"));
}

} // namespace

TQTreemapTooltip::TQTreemapTooltip(TQTooltipPanel* panel, QLabel* label) : panel_(panel), label_(label)
{
    QFont font = label_->font();
    font.setPixelSize(11);
    label_->setFont(font);
    panel_->hide();
}

void TQTreemapTooltip::showForNode(const KZTreemapNode& node, QPointF screenPoint, const QRect& screen)
{
    if (!panel_ || !label_) return;
    const QString text = textForNode(node);
    const QSizeF textSize = QFontMetricsF(label_->font()).size(0, text);
    label_->setText(text);
    panel_->setGeometry(frame(screenPoint, textSize, screen));
    if (!panel_->isVisible()) panel_->show();
    panel_->raise();
}

void TQTreemapTooltip::hide()
{
    if (panel_ && panel_->isVisible()) panel_->hide();
}

QString TQTreemapTooltip::textForNode(const KZTreemapNode& node)
{
    QString title;
    double size = 0;
    if (const KZFilePtr& file = node.file()) {
        title = file->fileName();
        size = file->fileSize();
    } else if (node.isInertArea()) {
        // What the area holds and how such bytes come to be shown.
        title = KZTreemapNode::inertAreaTitle(node.inertKind()) + QLatin1Char('\n') +
                KZTreemapNode::inertAreaHint(node.inertKind());
        size = node.fileSize();
    } else if (!node.files().empty()) {
        const auto& files = node.files();
        title = QStringLiteral("Grouped files:\n------------\n");
        const size_t listed = files.size() >= 16 ? 10 : files.size();
        for (size_t i = 0; i < listed; ++i) title += files[i]->fileName() + QLatin1Char('\n');
        if (files.size() >= 16) title += QStringLiteral("... and %1 more\n").arg(qlonglong(files.size() - 10));
        size = node.fileSize();
    } else {
        title = QStringLiteral("%1 total items").arg(qlonglong(node.totalFiles()));
        size = node.fileSize();
    }
    QString text = QStringLiteral("%1\nSize: %2").arg(title, tooltipFormatter().stringFromBytes(size));
    if (const KZFilePtr& file = node.file()) {
        if (const QString created = formatTooltipDate(file->creationDate()); !created.isEmpty())
            text += QStringLiteral("\nCreated: %1").arg(created);
        if (const QString modified = formatTooltipDate(file->modificationDate()); !modified.isEmpty())
            text += QStringLiteral("\nModified: %1").arg(modified);
    }
    return text;
}

QRect TQTreemapTooltip::frame(QPointF screenPoint, QSizeF textSize, const QRect& screen)
{
    const double width = std::ceil(textSize.width()) + 15;
    const double height = std::ceil(textSize.height()) + 5;
    // The panel's top edge lies 20 points below the pointer, its left edge 10 to the right.
    QRectF frame(screenPoint.x() + 10, screenPoint.y() + 20, width, height);
    if (!screen.isEmpty()) {
        const double screenRight = screen.x() + screen.width();
        const double screenBottom = screen.y() + screen.height();
        if (frame.right() > screenRight) frame.moveLeft(frame.left() - width);
        if (frame.bottom() > screenBottom) frame.moveTop(screenBottom - height);
    }
    return frame.toAlignedRect();
}
