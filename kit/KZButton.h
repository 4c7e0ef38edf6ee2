#pragma once
// The program's button: a hover image ("<image name>-hover", swapped in while the pointer is
// over an enabled button), toggle and tab modes, an optional action on press, a click block,
// a coloured and shadowed centred title and a pointing-hand cursor. How it paints is up to
// its cell (see KZButtonCell), chosen by class name.
//
// The action is the clicked() signal; in toggle mode a release flips the state and acts
// wherever the pointer is, in tab mode a release acts and leaves the state to the action.

#include "kit/KZButtonCell.h"
#include "kit/KZInterfaceFile.h"
#include "platform/widgets/KZImage.h"
#include "platform/widgets/KZTextStyle.h"

#include <QAbstractButton>

#include <functional>
#include <memory>
#include <optional>

class KZButton : public QAbstractButton, public KZAwakeFromNib {
    Q_OBJECT
    Q_PROPERTY(QString imageName READ imageName WRITE setImageName)
    Q_PROPERTY(QString title READ title WRITE setTitle)
    Q_PROPERTY(QColor titleColor READ titleColor WRITE setTitleColor)
    Q_PROPERTY(bool toggleButton READ isToggleButton WRITE setToggleButton)
    Q_PROPERTY(bool tabButton READ isTabButton WRITE setTabButton)
    Q_PROPERTY(bool showsCursor READ showsCursor WRITE setShowsCursor)
    Q_PROPERTY(bool actionOnMouseDown READ actionOnMouseDown WRITE setActionOnMouseDown)
    Q_PROPERTY(bool transparent READ isTransparent WRITE setTransparent)
    Q_PROPERTY(bool bordered READ isBordered WRITE setBordered)
    Q_PROPERTY(int bezelStyle READ bezelStyle WRITE setBezelStyle)
    Q_PROPERTY(int tag READ tag WRITE setTag)
    Q_PROPERTY(int state READ state WRITE setState)
    Q_PROPERTY(QString cellClass READ cellClass WRITE setCellClass)
public:
    enum State { Mixed = -1, Off = 0, On = 1 };
    using ClickedBlock = std::function<void(KZButton* sender)>;

    explicit KZButton(QWidget* parent = nullptr);
    ~KZButton() override;
    void awakeFromNib() override;

    KZImage image() const { return image_; }
    // Shows the image; unless `highlighted`, the image remembered for leaving is forgotten, so
    // the next hover remembers this one.
    void setImage(const KZImage& image, bool highlighted = false);
    QString imageName() const { return image_.name(); }
    void setImageName(const QString& name) { setImage(KZImage::named(name)); }
    KZImage highlightedImage() const { return highlightedImage_; }
    void setHighlightedImage(const KZImage& image) { highlightedImage_ = image; }
    KZImage defaultImage() const { return defaultImage_; }

    QString title() const { return title_; }
    void setTitle(const QString& title);
    // Invalid: none (the palette's text colour). Setting a new colour re-applies the title.
    QColor titleColor() const { return titleColor_; }
    void setTitleColor(const QColor& color);
    // Takes effect at the next title change.
    std::optional<KZShadow> textShadow() const { return textShadow_; }
    void setTextShadow(const std::optional<KZShadow>& shadow) { textShadow_ = shadow; }
    // The style the title is drawn in: the button's font, centred, in the title colour (or the
    // palette's when none is set) with the text shadow.
    KZTextStyle titleStyle() const { return titleStyle_; }

    bool isToggleButton() const { return toggleButton_; }
    void setToggleButton(bool on) { toggleButton_ = on; }
    bool isTabButton() const { return tabButton_; }
    void setTabButton(bool on) { tabButton_ = on; }
    bool showsCursor() const { return showsCursor_; }
    void setShowsCursor(bool on);
    bool actionOnMouseDown() const { return actionOnMouseDown_; }
    void setActionOnMouseDown(bool on) { actionOnMouseDown_ = on; }
    bool isTransparent() const { return transparent_; }
    void setTransparent(bool on);
    bool isBordered() const { return bordered_; }
    void setBordered(bool on);
    int bezelStyle() const { return bezelStyle_; }
    void setBezelStyle(int style);
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

    int state() const { return state_; }
    // Sets the state, then shows the button pressed in for any state but off.
    void setState(int state);
    bool isHighlighted() const { return highlighted_; }
    void highlight(bool on);

    ClickedBlock wasClickedBlock() const { return wasClickedBlock_; }
    void setWasClickedBlock(ClickedBlock block);

    KZButtonCell* cell() const { return cell_.get(); }
    void setCell(std::unique_ptr<KZButtonCell> cell);
    QString cellClass() const { return cell_->className(); }
    void setCellClass(const QString& className);

    // Sends the action (clicked) as a release would.
    void performClick();

    QSize sizeHint() const override;

    // Pointer hover, also called by the press handling.
    void mouseEntered();
    void mouseExited();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    void configure();
    void updateTitle();
    void updateCursor();
    void sendAction();

    KZImage image_;
    KZImage highlightedImage_;
    KZImage defaultImage_;
    QString title_;
    QColor titleColor_;
    std::optional<KZShadow> textShadow_;
    KZTextStyle titleStyle_;
    bool toggleButton_ = false;
    bool tabButton_ = false;
    bool showsCursor_ = false;
    bool actionOnMouseDown_ = false;
    bool transparent_ = false;
    bool bordered_ = false;
    int bezelStyle_ = 0;
    int tag_ = 0;
    int state_ = Off;
    bool highlighted_ = false;
    bool tracking_ = false;
    ClickedBlock wasClickedBlock_;
    std::unique_ptr<KZButtonCell> cell_;
};
