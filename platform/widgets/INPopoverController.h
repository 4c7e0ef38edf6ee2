#pragma once
// A popover: a panel that hangs from a control of a window, drawn as an overlay inside that
// window (a child widget raised above its content, its arrow pointing at the control), so it
// works the same on X11 and Wayland. It is never a Qt::Popup window: a popup grabs the input
// and would take it from the alerts its content opens. A new popover is made for each
// presentation. It shows a content view that it never owns or destroys (the view is handed
// back parentless and hidden when the popover closes, also when the window goes first) and
// whose controller's appear/disappear hooks it never calls. The popover follows the control
// it hangs from when the window's layout moves it.
//
// It closes through closePopover(), a click in its window outside it, Escape in its window,
// a click on the control it hangs from, or its window being hidden. The click on the control
// is taken by the popover, so the control's own action does not present a new one. However
// it closes, its delegate hears popoverDidClose exactly once, after which the owner may
// release it (deleteLater(), never inside the report). Alerts opened from inside the popover
// don't close it: while a modal alert is up the window receives no input at all.

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QWidget>

class INPopoverController;

// All optional. A delegate that is a QObject is called only while it lives.
class INPopoverControllerDelegate {
public:
    virtual ~INPopoverControllerDelegate() = default;
    // Asked before the user closes the popover (click outside, Escape, the control); not asked
    // by closePopover() or when the window goes.
    virtual bool popoverShouldClose(INPopoverController*) { return true; }
    virtual void popoverWillShow(INPopoverController*) {}
    virtual void popoverDidShow(INPopoverController*) {}
    virtual void popoverWillClose(INPopoverController*) {}
    virtual void popoverDidClose(INPopoverController*) {}
};

// Where the arrow points from the popover's edge. Every direction hangs the popover below the
// rectangle with its arrow pointing up at it (the one use: a toolbar button, value 3).
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
    // Look of the panel, in pixels.
    static constexpr int arrowHeight = 9;
    static constexpr int arrowHalfWidth = 10;
    static constexpr int shadowMargin = 12;
    static constexpr int windowMargin = 4; // the panel keeps this far from the window's edges

    explicit INPopoverController(QWidget* contentView, QObject* parent = nullptr);
    // A popover destroyed while shown leaves the screen and hands its content back without a
    // report (its owner knows).
    ~INPopoverController() override;

    QWidget* contentView() const { return contentView_; }
    QColor color() const { return color_; }
    void setColor(const QColor& color);
    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double radius);
    INPopoverControllerDelegate* delegate() const { return delegate_; }
    void setDelegate(INPopoverControllerDelegate* delegate);

    // Shows the content next to `rect` (in `positionView`'s coordinates), inside the window of
    // `positionView`. A popover is presented once; later calls do nothing.
    void presentPopoverFromRect(const QRect& rect, QWidget* positionView, int preferredArrowDirection,
                                bool anchorsToPositionView);
    bool popoverIsVisible() const;
    // Closes the popover without asking the delegate; the delegate then hears popoverDidClose.
    // Nothing when it is not shown.
    void closePopover();

    // The overlay panel while the popover is shown (tests, screenshots); nullptr otherwise.
    QWidget* popoverView() const;
    // The panel's outline (the body and its arrow) in the panel's coordinates.
    QRect bodyRect() const { return bodyRect_; }
    int arrowX() const { return arrowX_; }

    class Panel;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class CloseKind { Program, User, WindowGone };
    // Answers false when the delegate kept the popover open.
    bool close(CloseKind kind);
    void layoutPanel();
    void stopWatching();
    void panelDestroyed();
    bool delegateAlive() const;
    // The anchor rectangle in global coordinates.
    QRect anchorInGlobal() const;
    QRect currentAnchorRect() const;
    bool isOnPanelBody(const QPoint& globalPos) const;

    QPointer<QWidget> contentView_;
    QColor color_ = Qt::white;
    double cornerRadius_ = 4.0;
    INPopoverControllerDelegate* delegate_ = nullptr;
    QPointer<QObject> delegateObject_;
    bool delegateIsObject_ = false;

    QPointer<QWidget> hostWindow_;
    QPointer<QWidget> positionView_;
    QRect anchorRect_;
    QPointer<QWidget> anchorWidget_;
    QSize contentSize_;
    QPointer<QWidget> panel_;
    QPointer<QWidget> previousFocus_;
    QRect bodyRect_;
    int arrowX_ = 0;
    bool presented_ = false;
    bool visible_ = false;
    bool closeReported_ = false;
};
