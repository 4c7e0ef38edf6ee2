#pragma once
// A table in the light skin: every row, and the empty area around and below the rows, shows
// the row gradient with its lines; selected rows are blue. Rows share one height.

#include <QList>
#include <QRectF>
#include <QTableView>

class PPTableView : public QTableView {
    Q_OBJECT
public:
    explicit PPTableView(QWidget* parent = nullptr);

    // The two colours of the filler slots' gradient (start, end).
    QList<QColor> colors() const { return colors_; }
    void setColors(const QList<QColor>& colors);

    // Height of one row (the slot height; the skin has no spacing between rows).
    int rowHeight() const;
    void setRowHeight(int height);

    // Filler slots behind the clip rectangle (content coordinates): (0, y, width, S) for
    // y = S, 2S, ... up to the first slot at or beyond the clip's bottom, and for y = -S,
    // -2S, ... when the clip reaches above 0.
    static QList<QRectF> backgroundSlots(const QRectF& clip, qreal slotHeight);
    // Filler slots below the last row (its bottom at lastRowBottom, 0 without rows): for every
    // k >= 0 with lastRowBottom + k * rowHeight above the clip's bottom, a slot whose top is
    // lastRowBottom + (k - 1) * rowHeight.
    static QList<QRectF> gridSlots(const QRectF& clip, qreal lastRowBottom, qreal rowHeight, qreal slotHeight);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawSlot(QPainter& painter, const QRectF& slot) const;

    QList<QColor> colors_;
};
