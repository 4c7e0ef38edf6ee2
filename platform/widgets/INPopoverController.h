#pragma once
// A popover: a panel that hangs from a control of a window, drawn as an overlay inside that
// window (a child widget raised above its content, its arrow pointing at the control), so it
// works the same on X11 and Wayland. A new popover is made for each presentation. It shows a
// content view that it never owns or destroys (the view is handed back, parentless and
// hidden, when the popover closes) and whose controller's appear/disappear hooks it never
// calls. It closes through closePopover(), a click outside it, Escape, or the control it hangs
// from; however it closes, its delegate hears popoverDidClose exactly once, after which the
// owner may release it (deleteLater(), never inside the report). Alerts opened from inside
// the popover don't close it.

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QWidget>

class INPopoverController;

class INPopoverControllerDelegate {
public:
    virtual ~INPopoverControllerDelegate() = default;
    virtual bool popoverShouldClose(INPopoverController*) { return true; }
    virtual void popoverWillShow(INPopoverController*) {}
    virtual void popoverDidShow(INPopoverController*) {}
    virtual void popoverWillClose(INPopoverController*) {}
    virtual void popoverDidClose(INPopoverController*) {}
};

// Where the arrow points from the popover's edge; 3 hangs the popover below a toolbar button.
enum INPopoverArrowDirection : int {
    INPopoverArrowDirectionUndefined = 0,
    INPopoverArrowDirectionLeft = 1,
    INPopoverArrowDirectionRight = 2,
    INPopoverArrowDirectionUp = 3,
    INPopoverArrowDirectionDown = 4,
};

class INPopoverController : public QObject {
    Q_OBJECT
public:
    explicit INPopoverController(QWidget* contentView, QObject* parent = nullptr);
    ~INPopoverController() override;

    QWidget* contentView() const { return contentView_; }
    QColor color() const { return color_; }
    void setColor(const QColor& color) { color_ = color; }
    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double radius) { cornerRadius_ = radius; }
    INPopoverControllerDelegate* delegate() const { return delegate_; }
    void setDelegate(INPopoverControllerDelegate* delegate) { delegate_ = delegate; }

    // Shows the content next to `rect` (in `positionView`'s coordinates), inside the window of
    // `positionView`.
    void presentPopoverFromRect(const QRect& rect, QWidget* positionView, int preferredArrowDirection,
                                bool anchorsToPositionView);
    bool popoverIsVisible() const;
    // Closes the popover; the delegate then hears popoverDidClose.
    void closePopover();

private:
    QPointer<QWidget> contentView_;
    QColor color_ = Qt::white;
    double cornerRadius_ = 4.0;
    INPopoverControllerDelegate* delegate_ = nullptr;
    bool visible_ = false;
};
