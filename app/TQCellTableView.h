#pragma once
// A table in the light skin whose rows are shown by cell views (TQTableCellView), one per row
// on screen, reused as rows scroll by; the rows come from a TQFileTableModel. The table paints
// the row backgrounds and the selection, the cells their icon and texts on top (clicks go
// through them to the table). Like the platform's tables it knows the row a double click or a
// context click landed on (clickedRow), and sends doubleAction() on every double click, also
// below the last row. An empty table may show a line of placeholder text.

#include "kit/PPTableView.h"

#include <QPointer>

#include <map>
#include <vector>

class TQFileTableModel;
class TQTableCellView;

class TQCellTableView : public PPTableView {
    Q_OBJECT
public:
    static constexpr int cellHeight = 44;

    explicit TQCellTableView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    TQFileTableModel* fileModel() const;

    // The cell showing the row, when the row is on screen.
    TQTableCellView* cellForRow(int row) const;
    // The row under the double click or context click being handled; -1 otherwise, and for a
    // click below the last row.
    int clickedRow() const { return clickedRow_; }
    // Set while a context menu for a row is up (the menu's actions read clickedRow).
    void setClickedRow(int row) { clickedRow_ = row; }
    // The selected rows, ascending.
    std::vector<int> selectedRows() const;
    // Selected rows are drawn in the strong blue while the table has the keyboard in the
    // active window.
    bool isEmphasized() const;

    QString placeholderText() const { return placeholderText_; }
    void setPlaceholderText(const QString& text);

    // Places cells on the rows on screen; runs by itself whenever rows, size or scrolling change.
    void layoutCells();

Q_SIGNALS:
    void doubleAction();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
    void rowsChanged();
    void configureCell(TQTableCellView* cell, int row);
    void updateCellStyles();

    std::map<int, TQTableCellView*> cells_; // row -> cell, rows on screen
    std::vector<TQTableCellView*> spareCells_;
    bool cellsStale_ = false;
    int clickedRow_ = -1;
    QString placeholderText_;
    QPointer<QAbstractItemModel> connectedModel_;
};
