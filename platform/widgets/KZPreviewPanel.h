#pragma once
// The preview window (our stand-in for Quick Look): shows one item of a list that its data
// source hands it: an image, the start of a text file, or else the item's icon with a few
// facts (kind, size, modification date, where it is). Left and Right (or Up and Down) step
// through the items; Space and Escape close the window. Files are read in the background
// (a bounded amount), so a large item never blocks the window.
//
// Owned by whoever opens it (the results screen); the data source is not owned and must
// outlive the panel or be cleared first.

#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <string>

class QLabel;
class QPlainTextEdit;
class QStackedWidget;

struct KZPreviewItem {
    std::string path; // bytes
    QString title;    // the name to show
    double size = -1; // bytes as the caller knows them (a folder's total); negative: read it
};

class KZPreviewPanel;

class KZPreviewPanelDataSource {
public:
    virtual ~KZPreviewPanelDataSource() = default;
    virtual int numberOfPreviewItems(KZPreviewPanel* panel) = 0;
    virtual KZPreviewItem previewItemAtIndex(KZPreviewPanel* panel, int index) = 0;
};

class KZPreviewPanel : public QWidget {
    Q_OBJECT
public:
    enum class Kind { None, Image, Text, Facts };
    // At most this much of a text file is shown.
    static constexpr qint64 kMaxTextBytes = 64 * 1024;
    // Larger images are described, not drawn.
    static constexpr qint64 kMaxImageBytes = 64 * 1024 * 1024;

    explicit KZPreviewPanel(QWidget* parent = nullptr);
    ~KZPreviewPanel() override;

    KZPreviewPanelDataSource* dataSource() const { return dataSource_; }
    void setDataSource(KZPreviewPanelDataSource* dataSource) { dataSource_ = dataSource; }
    // Asks the data source again; keeps the current index when it is still valid.
    void reloadData();
    int numberOfItems() const { return count_; }
    int currentPreviewItemIndex() const { return index_; }
    void setCurrentPreviewItemIndex(int index);
    const KZPreviewItem& currentItem() const { return item_; }
    // What the window shows now (None until the item has been read).
    Kind currentKind() const { return kind_; }
    QString titleText() const;
    QString factsText() const;
    QString previewText() const;
    QImage previewImage() const { return image_; }

    // What an item would be shown as, read now (tests and the background reader).
    struct Content {
        Kind kind = Kind::Facts;
        QImage image;
        QString text;
        QString mimeComment;
        double size = -1;
        qint64 modificationTime = -1; // seconds since the epoch; -1 unknown
        bool isFolder = false;
        bool exists = false;
    };
    static Content readContent(const std::string& path, QSize maxImageSize);

Q_SIGNALS:
    // The current item has been read and shown.
    void itemShown();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void showCurrentItem();
    void present(const Content& content);
    void updateImage();

    KZPreviewPanelDataSource* dataSource_ = nullptr;
    int count_ = 0;
    int index_ = 0;
    KZPreviewItem item_;
    Kind kind_ = Kind::None;
    quint64 generation_ = 0;
    QImage image_;
    QString facts_;

    QLabel* titleLabel_ = nullptr;
    QLabel* counterLabel_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QLabel* imageLabel_ = nullptr;
    QPlainTextEdit* textView_ = nullptr;
    QLabel* iconLabel_ = nullptr;
    QLabel* factsLabel_ = nullptr;
};
