#pragma once
// The path bar above the treemap: the path from a fixed base folder (the first path it is
// given) down to the item the results screen names, one component per level, each with its
// icon and name, separated by an arrow, in 11-pixel text on a light grey background, with a
// pointing-hand cursor. A double click on a component reports that component's path.
// Paths are bytes; a path outside the base shows no components. Assistive technology reads it
// through ITPathbarAccessibility.

#include "kit/KZInterfaceFile.h"
#include "platform/widgets/KZImage.h"

#include <QByteArray>
#include <QList>
#include <QRectF>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

// One component: its name, icon and the path it stands for.
struct ITPathbarComponentCell {
    QString title;
    KZImage image;
    std::string url;
};

class ITPathbar : public QWidget, public KZAwakeFromNib {
    Q_OBJECT
public:
    static constexpr qreal overlapAmount = 5.0;
    using IconProvider = std::function<KZImage(const std::string& path, qreal size)>;

    explicit ITPathbar(QWidget* parent = nullptr);
    void awakeFromNib() override;

    // Shows the path's components from the base down; the first path given becomes the base.
    void setURL(const std::string& path);
    const std::string& url() const { return url_; }
    const std::optional<std::string>& baseURL() const { return baseURL_; }
    const std::vector<ITPathbarComponentCell>& pathComponentCells() const { return cells_; }
    // Reports the component's path as a double click on it does (assistive technology's press).
    void activateComponent(int index);
    // The component a double click last hit.
    const std::optional<std::string>& clickedPathComponent() const { return clickedPath_; }

    // The icons of the components (the desktop's icons for folders and files by default).
    void setIconProvider(IconProvider provider);

    // The partial paths of `path`, from "/" down, that lie inside `base` (the base included).
    static std::vector<std::string> componentPaths(const std::string& base, const std::string& path);

    // Where each component sits in a bar of the given size, after shrinking long names.
    struct Layout {
        QRectF frame;
        QRectF iconRect;
        QRectF titleRect;
        QRectF separatorRect; // empty for the last component
    };
    QList<Layout> layoutComponents(QSizeF barSize) const;
    // The index of the component at a point, or -1.
    int componentAt(QPointF point) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    QFont titleFont() const;

signals:
    // A component was double-clicked: its path.
    void doubleClicked(const QByteArray& path);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void rebuild();
    qreal textHeight() const;

    std::string url_;
    std::optional<std::string> baseURL_;
    std::vector<ITPathbarComponentCell> cells_;
    std::optional<std::string> clickedPath_;
    IconProvider iconProvider_;
    KZImage separator_;
};
