#include "kit/PPTableView.h"

#include "kit/DSTableViewColors.h"
#include "kit/PPTableRowView.h"

#include <QHeaderView>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Paints each cell's share of its row in the skin, then the cell's content without the
// style's own selection panel.
class RowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        const QWidget* table = option.widget;
        const bool emphasized = table && table->hasFocus() && table->isActiveWindow();
        if (selected)
            PPTableRowView::drawSelection(*painter, QRectF(option.rect), emphasized);
        else
            PPTableRowView::drawBackground(*painter, QRectF(option.rect));
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        opt.backgroundBrush = Qt::NoBrush;
        if (selected && emphasized) {
            opt.palette.setColor(QPalette::Text, Qt::white);
            opt.palette.setColor(QPalette::WindowText, Qt::white);
        }
        QStyle* style = table ? table->style() : nullptr;
        if (style) style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, table);
    }
};

} // namespace

PPTableView::PPTableView(QWidget* parent) : QTableView(parent)
{
    colors_ = {DSTableViewColors::cellGradientStart(), DSTableViewColors::cellGradientEnd()};
    setShowGrid(false);
    setItemDelegate(new RowDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    verticalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    setRowHeight(24);
}

void PPTableView::setColors(const QList<QColor>& colors)
{
    colors_ = colors;
    viewport()->update();
}

int PPTableView::rowHeight() const
{
    return verticalHeader()->defaultSectionSize();
}

void PPTableView::setRowHeight(int height)
{
    verticalHeader()->setDefaultSectionSize(height);
}

QList<QRectF> PPTableView::backgroundSlots(const QRectF& clip, qreal slotHeight)
{
    QList<QRectF> result;
    if (!(slotHeight > 0)) return result;
    if (clip.bottom() > 0) {
        for (qreal y = slotHeight;; y += slotHeight) {
            result.append(QRectF(0, y, clip.width(), slotHeight));
            if (y >= clip.bottom()) break;
        }
    }
    if (clip.top() < 0) {
        for (qreal y = -slotHeight;; y -= slotHeight) {
            result.append(QRectF(0, y, clip.width(), slotHeight));
            if (y <= clip.top()) break;
        }
    }
    return result;
}

QList<QRectF> PPTableView::gridSlots(const QRectF& clip, qreal lastRowBottom, qreal rowHeight, qreal slotHeight)
{
    QList<QRectF> result;
    if (!(rowHeight > 0) || clip.bottom() <= lastRowBottom) return result;
    for (int k = 0; lastRowBottom + k * rowHeight < clip.bottom(); ++k)
        result.append(QRectF(0, lastRowBottom + (k - 1) * rowHeight, clip.width(), slotHeight));
    return result;
}

void PPTableView::drawSlot(QPainter& painter, const QRectF& slot) const
{
    QLinearGradient g(slot.topLeft(), slot.bottomLeft());
    g.setColorAt(0, colors_.value(0, DSTableViewColors::cellGradientStart()));
    g.setColorAt(1, colors_.value(1, DSTableViewColors::cellGradientEnd()));
    painter.fillRect(slot, g);
    PPTableRowView::drawBorders(painter, slot);
}

void PPTableView::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(viewport());
        // Slots are laid out in content coordinates, like the rows.
        const int offset = verticalOffset();
        painter.translate(0, -offset);
        const QRectF clip = QRectF(event->rect()).translated(0, offset);
        const qreal slot = rowHeight();
        painter.setClipRect(clip);
        for (const QRectF& r : backgroundSlots(clip, slot)) drawSlot(painter, r);
        const int rows = model() ? model()->rowCount(rootIndex()) : 0;
        const qreal lastBottom =
            rows > 0 ? rowViewportPosition(rows - 1) + offset + QTableView::rowHeight(rows - 1) : 0;
        for (const QRectF& r : gridSlots(clip, lastBottom, slot, slot)) drawSlot(painter, r);
    }
    QTableView::paintEvent(event);
}
