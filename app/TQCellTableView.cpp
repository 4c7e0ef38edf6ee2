#include "app/TQCellTableView.h"

#include "app/TQFileTableModel.h"
#include "app/TQTableCellView.h"
#include "kit/PPTableRowView.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {
// Paints a row's background or selection; the cell on top paints the rest.
class RowBackgroundDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        auto* table = qobject_cast<const TQCellTableView*>(option.widget);
        if (option.state & QStyle::State_Selected)
            PPTableRowView::drawSelection(*painter, QRectF(option.rect), table && table->isEmphasized());
        else
            PPTableRowView::drawBackground(*painter, QRectF(option.rect));
    }
};
} // namespace

TQCellTableView::TQCellTableView(QWidget* parent) : PPTableView(parent)
{
    QAbstractItemDelegate* skin = itemDelegate();
    setItemDelegate(new RowBackgroundDelegate(this));
    delete skin;
    horizontalHeader()->hide();
    setRowHeight(cellHeight);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setFrameShape(QFrame::NoFrame);
    setWordWrap(false);
}

void TQCellTableView::setModel(QAbstractItemModel* model)
{
    if (connectedModel_) disconnect(connectedModel_, nullptr, this, nullptr);
    PPTableView::setModel(model);
    connectedModel_ = model;
    if (model) {
        // After the view's own handlers (connected by the base): the rows' positions are known.
        connect(model, &QAbstractItemModel::rowsInserted, this, &TQCellTableView::rowsChanged);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &TQCellTableView::rowsChanged);
        connect(model, &QAbstractItemModel::modelReset, this, &TQCellTableView::rowsChanged);
        connect(model, &QAbstractItemModel::layoutChanged, this, &TQCellTableView::rowsChanged);
        connect(model, &QAbstractItemModel::dataChanged, this, &TQCellTableView::rowsChanged);
    }
    rowsChanged();
}

TQFileTableModel* TQCellTableView::fileModel() const
{
    return qobject_cast<TQFileTableModel*>(model());
}

TQTableCellView* TQCellTableView::cellForRow(int row) const
{
    auto it = cells_.find(row);
    return it == cells_.end() ? nullptr : it->second;
}

std::vector<int> TQCellTableView::selectedRows() const
{
    std::vector<int> rows;
    if (!selectionModel()) return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool TQCellTableView::isEmphasized() const
{
    return hasFocus() && isActiveWindow();
}

void TQCellTableView::setPlaceholderText(const QString& text)
{
    placeholderText_ = text;
    viewport()->update();
}

void TQCellTableView::rowsChanged()
{
    cellsStale_ = true;
    layoutCells();
}

void TQCellTableView::configureCell(TQTableCellView* cell, int row)
{
    const TQFileTableModel* m = fileModel();
    if (!m || row < 0 || row >= m->rowCount()) return;
    const TQFileTableModel::Row& r = m->row(row);
    if (r.reason) {
        if (cell->title() != TQFileTableModel::titleOf(r)) cell->prepareForReuse();
        cell->setTitleElideMode(Qt::ElideMiddle);
        cell->setTitle(TQFileTableModel::titleOf(r));
        cell->setSubtitle(*r.reason);
        cell->setIconPath(r.path);
    } else {
        if (cell->path() != r.path) cell->prepareForReuse();
        cell->setTitleElideMode(Qt::ElideRight);
        cell->setPath(r.path);
        cell->setFileSize(r.fileSize);
    }
}

void TQCellTableView::layoutCells()
{
    QAbstractItemModel* m = model();
    const int rows = m ? m->rowCount(rootIndex()) : 0;
    int first = -1, last = -1;
    if (rows > 0 && viewport()->height() > 0) {
        first = rowAt(0);
        if (first < 0) first = 0;
        last = rowAt(viewport()->height() - 1);
        if (last < 0) last = rows - 1;
    }
    const bool stale = cellsStale_;
    cellsStale_ = false;
    std::map<int, TQTableCellView*> next;
    for (auto [row, cell] : cells_) {
        if (row >= first && row <= last)
            next[row] = cell;
        else
            spareCells_.push_back(cell);
    }
    for (int row = first; row >= 0 && row <= last; ++row) {
        TQTableCellView*& cell = next[row];
        if (!cell) {
            if (!spareCells_.empty()) {
                cell = spareCells_.back();
                spareCells_.pop_back();
            } else {
                cell = new TQTableCellView(viewport());
            }
            configureCell(cell, row);
        } else if (stale) {
            configureCell(cell, row); // keeps the icon when the row still shows the same item
        }
        cell->setGeometry(0, rowViewportPosition(row), viewport()->width(), QTableView::rowHeight(row));
        cell->show();
    }
    for (TQTableCellView* spare : spareCells_) {
        if (spare->isHidden()) continue;
        spare->hide();
        spare->prepareForReuse();
    }
    cells_ = std::move(next);
    updateCellStyles();
}

void TQCellTableView::updateCellStyles()
{
    const bool emphasized = isEmphasized();
    QItemSelectionModel* selection = selectionModel();
    for (auto [row, cell] : cells_) {
        const bool selected = selection && model() && selection->isRowSelected(row, rootIndex());
        cell->setBackgroundStyle(selected && emphasized ? TQTableCellView::BackgroundStyle::Dark
                                                        : TQTableCellView::BackgroundStyle::Light);
    }
}

void TQCellTableView::paintEvent(QPaintEvent* event)
{
    PPTableView::paintEvent(event);
    const int rows = model() ? model()->rowCount(rootIndex()) : 0;
    if (rows > 0 || placeholderText_.isEmpty()) return;
    QPainter p(viewport());
    QFont font = p.font();
    font.setPixelSize(13);
    p.setFont(font);
    p.setPen(QColor(140, 140, 140));
    p.drawText(viewport()->rect().adjusted(16, 0, -16, 0), Qt::AlignCenter | Qt::TextWordWrap, placeholderText_);
}

void TQCellTableView::resizeEvent(QResizeEvent* event)
{
    PPTableView::resizeEvent(event);
    layoutCells();
}

void TQCellTableView::showEvent(QShowEvent* event)
{
    PPTableView::showEvent(event);
    layoutCells();
}

void TQCellTableView::scrollContentsBy(int dx, int dy)
{
    PPTableView::scrollContentsBy(dx, dy);
    layoutCells();
}

void TQCellTableView::updateGeometries()
{
    PPTableView::updateGeometries();
    layoutCells();
}

void TQCellTableView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const int row = rowAt(event->position().toPoint().y());
    clickedRow_ = row;
    PPTableView::mouseDoubleClickEvent(event);
    Q_EMIT doubleAction();
    clickedRow_ = -1;
}

void TQCellTableView::focusInEvent(QFocusEvent* event)
{
    PPTableView::focusInEvent(event);
    updateCellStyles();
    viewport()->update();
}

void TQCellTableView::focusOutEvent(QFocusEvent* event)
{
    PPTableView::focusOutEvent(event);
    updateCellStyles();
    viewport()->update();
}

void TQCellTableView::changeEvent(QEvent* event)
{
    PPTableView::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) {
        updateCellStyles();
        viewport()->update();
    }
}

void TQCellTableView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    PPTableView::selectionChanged(selected, deselected);
    updateCellStyles();
}
