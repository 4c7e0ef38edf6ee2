#pragma once
// The results screen's notice of folders the scan could not read: a line above the map (shown
// while the count is above 0) with a button that names them in an alert, the first ones one
// by one and the rest counted. The map and the totals stay as they are.
//
// Ownership: the results screen owns it from its creation (the count may come before the
// view loads); the notice's widgets belong to the screen's view (watched here, not owned).

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

class TQUnreadableNotice {
public:
    static inline const QString OneNotice =
        QStringLiteral("1 folder could not be read: it is missing from the map and from the totals.");
    static inline const QString ManyNotice =
        QStringLiteral("%1 folders could not be read: they are missing from the map and from the totals.");
    static inline const QString OneMessage = QStringLiteral("1 folder could not be read");
    static inline const QString ManyMessage = QStringLiteral("%1 folders could not be read");
    static inline const QString OneInformative = QStringLiteral(
        "Sizemere was not allowed to open this folder, so what it holds is not in the map or in the totals:");
    static inline const QString ManyInformative = QStringLiteral(
        "Sizemere was not allowed to open these folders, so what they hold is not in the map or in the totals:");
    static inline const QString More = QStringLiteral("…and %1 more.");
    static inline const QString OkayButton = QStringLiteral("Okay");
    // Folders named one by one in the alert.
    static constexpr int kMaxListed = 25;

    // The notice's widgets, once the view has loaded; `window` hosts the alert.
    void attach(QWidget* notice, QLabel* label, QPushButton* button, QWidget* window);

    // How many folders could not be read, and the paths of some of them.
    void setFolders(int64_t count, std::vector<std::string> paths);
    int64_t count() const { return count_; }
    // The alert that names the folders (nothing when there are none).
    void showFolders() const;

    QWidget* widget() const { return notice_; }
    QLabel* label() const { return label_; }
    QPushButton* button() const { return button_; }

private:
    void update();

    int64_t count_ = 0;
    std::vector<std::string> paths_;
    QPointer<QWidget> notice_;
    QPointer<QLabel> label_;
    QPointer<QPushButton> button_;
    QPointer<QWidget> window_;
};
