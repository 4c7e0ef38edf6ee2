#include "app/TQFileTableModel.h"

#include "app/TQTableCellView.h"
#include "model/KZPath.h"
#include "platform/KZPathString.h"

#include <unordered_set>

namespace {
// Beyond this many separate runs of leaving rows, one reset is cheaper than the removals.
constexpr size_t maxRemovalRuns = 32;
} // namespace

TQFileTableModel::TQFileTableModel(QObject* parent) : QAbstractTableModel(parent) {}

int TQFileTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int TQFileTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 1;
}

QString TQFileTableModel::titleOf(const Row& row)
{
    if (row.reason) return kz::displayString(kz::withoutTrailingSlash(row.path));
    return kz_localizedFileName(row.path);
}

QVariant TQFileTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || size_t(index.row()) >= rows_.size()) return {};
    const Row& r = rows_[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return titleOf(r);
    case Qt::ToolTipRole:
        if (r.reason) return kz::displayString(kz::withoutTrailingSlash(r.path)) + QLatin1Char('\n') + *r.reason;
        return kz::displayString(kz::withoutTrailingSlash(r.path));
    case Qt::AccessibleDescriptionRole:
        // What the row's cell shows under the name: the reason it failed, or its size.
        if (r.reason) return *r.reason;
        if (r.fileSize == 0) return QString();
        return QStringLiteral("Size: %1").arg(TQTableCellView::sharedFormatter().stringFromBytes(r.fileSize));
    case PathRole:
        return QByteArray(r.path.data(), qsizetype(r.path.size()));
    case FileSizeRole:
        return r.fileSize;
    case ReasonRole:
        return r.reason ? QVariant(*r.reason) : QVariant();
    default:
        return {};
    }
}

Qt::ItemFlags TQFileTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

KZFileList TQFileTableModel::files() const
{
    KZFileList out;
    out.reserve(rows_.size());
    for (const Row& r : rows_)
        if (r.file) out.push_back(r.file);
    return out;
}

void TQFileTableModel::setRows(std::vector<Row> rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void TQFileTableModel::setFiles(const KZFileList& files)
{
    auto rowFor = [](const KZFilePtr& f) { return Row{f, f->path(), f->fileSize(), std::nullopt}; };
    auto reset = [&] {
        std::vector<Row> rows;
        rows.reserve(files.size());
        for (const KZFilePtr& f : files)
            if (f) rows.push_back(rowFor(f));
        setRows(std::move(rows));
    };

    std::unordered_set<const KZFile*> listed;
    for (const KZFilePtr& f : files)
        if (f) listed.insert(f.get());
    // Runs of rows whose record is no longer listed.
    std::vector<std::pair<int, int>> runs; // first, last
    for (int i = 0; i < int(rows_.size()); ++i) {
        if (rows_[size_t(i)].file && listed.count(rows_[size_t(i)].file.get())) continue;
        if (!runs.empty() && runs.back().second == i - 1)
            runs.back().second = i;
        else
            runs.emplace_back(i, i);
    }
    if (runs.size() > maxRemovalRuns) return reset();

    // The rows that stay must be the list's beginning, in its order; the rest is appended.
    size_t kept = 0;
    {
        size_t next = 0;
        for (const Row& r : rows_) {
            if (!r.file || !listed.count(r.file.get())) continue;
            while (next < files.size() && !files[next]) ++next;
            if (next >= files.size() || files[next].get() != r.file.get()) return reset();
            ++next;
            ++kept;
        }
    }
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
        beginRemoveRows({}, it->first, it->second);
        rows_.erase(rows_.begin() + it->first, rows_.begin() + it->second + 1);
        endRemoveRows();
    }
    std::vector<Row> added;
    size_t seen = 0;
    std::unordered_set<const KZFile*> shown;
    for (const Row& r : rows_) shown.insert(r.file.get());
    for (const KZFilePtr& f : files) {
        if (!f) continue;
        if (seen++ < kept) continue;
        if (!shown.insert(f.get()).second) continue;
        added.push_back(rowFor(f));
    }
    if (!added.empty()) {
        beginInsertRows({}, int(rows_.size()), int(rows_.size() + added.size()) - 1);
        for (Row& r : added) rows_.push_back(std::move(r));
        endInsertRows();
    }
    // Sizes may have changed (a folder's total computed since).
    updateSizes();
}

void TQFileTableModel::updateSizes()
{
    if (rows_.empty()) return;
    bool changed = false;
    for (Row& r : rows_)
        if (r.file && r.file->fileSize() != r.fileSize) {
            r.fileSize = r.file->fileSize();
            changed = true;
        }
    if (changed)
        Q_EMIT dataChanged(index(0, 0), index(int(rows_.size()) - 1, 0), {FileSizeRole, Qt::AccessibleDescriptionRole});
}
