#pragma once
// The rows of the delete-queue table and of the delete sheet's error table, one column. A
// queue row is a queued record (its name and size); an error row is a path with the reason
// it could not be deleted. setFiles() follows a changed list with the least change it can
// (rows that left are removed, new ones appended), so the rows that stay keep their
// selection and their cells. The rows can't be dragged or dropped on.

#include "model/KZFile.h"

#include <QAbstractTableModel>

#include <optional>
#include <vector>

class TQFileTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Row {
        KZFilePtr file;                // the queued record; null for an error row
        std::string path;              // the item's path (a folder's ends with "/")
        double fileSize = 0;           // bytes
        std::optional<QString> reason; // set for an error row
    };
    enum Role { PathRole = Qt::UserRole + 1, FileSizeRole, ReasonRole };

    explicit TQFileTableModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // Display: the name (queue rows) or the path without its final "/" (error rows); tool tip:
    // the whole path; and the roles above.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const Row& row(int index) const { return rows_.at(size_t(index)); }
    const std::vector<Row>& rows() const { return rows_; }
    // The records of the rows (queue rows only), in row order.
    KZFileList files() const;

    // Shows the records: rows of records no longer listed leave, new records are added at the
    // end. A reordered list is shown afresh.
    void setFiles(const KZFileList& files);
    // Shows the rows afresh.
    void setRows(std::vector<Row> rows);

    // The title a row shows.
    static QString titleOf(const Row& row);

private:
    // Rows whose record's size changed since take the new size.
    void updateSizes();

    std::vector<Row> rows_;
};
