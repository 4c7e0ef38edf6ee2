#pragma once
// One row of the delete-queue table and of the delete sheet's error table: the item's icon, a
// title and a subtitle under it. A queue row shows the item's name and "Size: 12.3 MB"; an
// error row shows the whole path and the reason it failed. The icon is the generic document
// icon until the item's own arrives. On a selected row (the dark background) both texts are
// white; otherwise they take the colours the cell was laid out with. TQCellTableView makes
// the cells of the rows on screen and reuses them as rows scroll by.

#include "model/KZMemoryFormatter.h"

#include <QColor>
#include <QIcon>
#include <QWidget>

#include <string>

class TQTableCellView : public QWidget {
    Q_OBJECT
public:
    enum class BackgroundStyle { Light, Dark };
    static constexpr int iconSize = 32;

    explicit TQTableCellView(QWidget* parent = nullptr);

    // The item shown. Setting it makes its name the title and fetches its icon.
    const std::string& path() const { return path_; }
    void setPath(const std::string& path);
    // Its size in bytes. Setting it writes "Size: %@" under the title; 0 leaves the subtitle
    // as it is.
    double fileSize() const { return fileSize_; }
    void setFileSize(double bytes);
    void updateTitles();
    // The generic icon at once, then the item's own icon when it arrives.
    void updateIcon();

    // Texts and icon set directly (the error table: the whole path, the reason).
    QString title() const { return title_; }
    void setTitle(const QString& title);
    QString subtitle() const { return subtitle_; }
    void setSubtitle(const QString& subtitle);
    // The icon of the item at the path, without touching the texts.
    void setIconPath(const std::string& path);
    QIcon icon() const { return icon_; }
    // How a title too long for the cell is shortened (names at the end, paths in the middle).
    void setTitleElideMode(Qt::TextElideMode mode);

    BackgroundStyle backgroundStyle() const { return backgroundStyle_; }
    void setBackgroundStyle(BackgroundStyle style);
    void updateTextColor();
    // The colours of the two texts on an unselected row.
    QColor textFieldColor() const { return textFieldColor_; }
    QColor subTitleFieldColor() const { return subTitleFieldColor_; }
    // The colours the texts are drawn in now.
    QColor titleColor() const { return titleColor_; }
    QColor subtitleColor() const { return subtitleColor_; }

    // Empties the cell before it shows another row: no stale size or icon is left behind.
    void prepareForReuse();

    // The formatter every cell shares.
    static const KZMemoryFormatter& sharedFormatter();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void loadIcon(const std::string& path);

    std::string path_;
    std::string iconPath_;
    double fileSize_ = 0;
    QString title_;
    QString subtitle_;
    QIcon icon_;
    unsigned iconRequest_ = 0;
    Qt::TextElideMode titleElideMode_ = Qt::ElideMiddle;
    BackgroundStyle backgroundStyle_ = BackgroundStyle::Light;
    QColor textFieldColor_;
    QColor subTitleFieldColor_;
    QColor titleColor_;
    QColor subtitleColor_;
};
