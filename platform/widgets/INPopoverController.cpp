#include "platform/widgets/INPopoverController.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// The body with its arrow pointing up from the top edge at arrowX.
QPainterPath outlinePath(const QRectF& body, qreal arrowX, qreal radius)
{
    QPainterPath rounded;
    rounded.addRoundedRect(body, radius, radius);
    QPainterPath arrow;
    const qreal h = INPopoverController::arrowHeight, w = INPopoverController::arrowHalfWidth;
    arrow.moveTo(arrowX - w, body.top() + 1);
    arrow.lineTo(arrowX, body.top() - h);
    arrow.lineTo(arrowX + w, body.top() + 1);
    arrow.closeSubpath();
    return rounded.united(arrow).simplified();
}

// Three passes of a box blur over the alpha of a black image (premultiplied, so the colour
// channels stay 0): close to a gaussian of about twice the radius.
void blurAlpha(QImage& image, int radius)
{
    if (radius < 1 || image.isNull()) return;
    const int w = image.width(), h = image.height();
    std::vector<int> line(size_t(std::max(w, h)));
    auto pixel = [&](int x, int y) -> QRgb& { return reinterpret_cast<QRgb*>(image.scanLine(y))[x]; };
    auto pass = [&](bool horizontal) {
        const int outer = horizontal ? h : w, inner = horizontal ? w : h;
        const int span = 2 * radius + 1;
        for (int o = 0; o < outer; ++o) {
            auto at = [&](int i) -> QRgb& { return horizontal ? pixel(i, o) : pixel(o, i); };
            for (int i = 0; i < inner; ++i) line[size_t(i)] = int(at(i) >> 24);
            int sum = 0;
            for (int i = -radius; i <= radius; ++i) sum += line[size_t(std::clamp(i, 0, inner - 1))];
            for (int i = 0; i < inner; ++i) {
                at(i) = QRgb(sum / span) << 24;
                sum += line[size_t(std::min(i + radius + 1, inner - 1))];
                sum -= line[size_t(std::max(i - radius, 0))];
            }
        }
    };
    for (int i = 0; i < 3; ++i) {
        pass(true);
        pass(false);
    }
}

bool isInside(const QWidget* widget, const QWidget* ancestor)
{
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (w == ancestor) return true;
    return false;
}

// The first widget of the content that takes the keyboard, in tab order.
QWidget* firstFocusable(QWidget* content)
{
    QWidget* w = content;
    for (int guard = 0; guard < 10000; ++guard) {
        w = w->nextInFocusChain();
        if (!w || w == content) break;
        if (isInside(w, content) && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(content))
            return w;
    }
    return content;
}

} // namespace

// The overlay: paints the shadow, the body and its arrow, and holds the content view while the
// popover is shown. Child of the popover's window.
class INPopoverController::Panel : public QWidget {
public:
    Panel(INPopoverController* owner, QWidget* parent) : QWidget(parent), owner_(owner)
    {
        setObjectName(QStringLiteral("INPopoverPanel"));
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }
    ~Panel() override
    {
        if (owner_) owner_->panelDestroyed();
    }
    void detach() { owner_ = nullptr; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!owner_) return;
        const QRectF body = QRectF(owner_->bodyRect_).adjusted(0.5, 0.5, -0.5, -0.5);
        const QPainterPath outline = outlinePath(body, owner_->arrowX_ + 0.5, owner_->cornerRadius_);
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.drawImage(0, 0, shadowImage(outline));
        p.fillPath(outline, owner_->color_);
        p.setPen(QPen(QColor(0, 0, 0, 64), 1));
        p.drawPath(outline);
    }
    // Clicks on the body stay in the popover; they never reach the window beneath.
    void mousePressEvent(QMouseEvent* e) override { e->accept(); }
    void mouseReleaseEvent(QMouseEvent* e) override { e->accept(); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { e->accept(); }
    void wheelEvent(QWheelEvent* e) override { e->accept(); }

private:
    const QImage& shadowImage(const QPainterPath& outline)
    {
        const QRect key = owner_->bodyRect_;
        if (shadow_.size() == size() && shadowBody_ == key && shadowArrow_ == owner_->arrowX_) return shadow_;
        shadow_ = QImage(size(), QImage::Format_ARGB32_Premultiplied);
        shadow_.fill(Qt::transparent);
        {
            QPainter p(&shadow_);
            p.setRenderHint(QPainter::Antialiasing);
            p.translate(0, 3);
            p.fillPath(outline, QColor(0, 0, 0, 80));
        }
        blurAlpha(shadow_, 3);
        shadowBody_ = key;
        shadowArrow_ = owner_->arrowX_;
        return shadow_;
    }

    QPointer<INPopoverController> owner_;
    QImage shadow_;
    QRect shadowBody_;
    int shadowArrow_ = -1;
};

INPopoverController::INPopoverController(QWidget* contentView, QObject* parent)
    : QObject(parent), contentView_(contentView)
{
}

INPopoverController::~INPopoverController()
{
    if (!visible_) return;
    visible_ = false;
    stopWatching();
    auto* panel = static_cast<Panel*>(panel_.data());
    if (panel) panel->detach();
    if (contentView_ && panel && contentView_->parentWidget() == panel) {
        contentView_->hide();
        contentView_->setParent(nullptr);
    }
    if (panel) {
        panel->hide();
        panel->deleteLater();
    }
}

void INPopoverController::setColor(const QColor& color)
{
    color_ = color;
    if (panel_) panel_->update();
}

void INPopoverController::setCornerRadius(double radius)
{
    cornerRadius_ = radius;
    if (panel_) panel_->update();
}

void INPopoverController::setDelegate(INPopoverControllerDelegate* delegate)
{
    delegate_ = delegate;
    delegateObject_ = dynamic_cast<QObject*>(delegate);
    delegateIsObject_ = !delegateObject_.isNull();
}

bool INPopoverController::delegateAlive() const
{
    return delegate_ && (!delegateIsObject_ || delegateObject_);
}

void INPopoverController::presentPopoverFromRect(const QRect& rect, QWidget* positionView, int, bool)
{
    if (presented_ || !contentView_ || !positionView || !positionView->window()) return;
    presented_ = true;
    QPointer<INPopoverController> self(this);
    if (delegateAlive()) delegate_->popoverWillShow(this);
    if (!self || !contentView_ || !positionView) return;

    hostWindow_ = positionView->window();
    positionView_ = positionView;
    anchorRect_ = rect;
    // The anchor follows the control at that rectangle when the window's layout moves it.
    anchorWidget_ = nullptr;
    for (QObject* child : positionView->children())
        if (child->isWidgetType() && static_cast<QWidget*>(child)->geometry() == rect)
            anchorWidget_ = static_cast<QWidget*>(child);
    if (QWidget* focus = QApplication::focusWidget(); focus && focus->window() == hostWindow_) previousFocus_ = focus;

    auto* panel = new Panel(this, hostWindow_);
    panel_ = panel;
    contentView_->setParent(panel);
    if (!contentView_->testAttribute(Qt::WA_Resized)) contentView_->resize(contentView_->sizeHint());
    contentSize_ = contentView_->size();
    layoutPanel();
    contentView_->show();
    panel->show();
    panel->raise();
    visible_ = true;

    // One filter on the application sees the window's resizes and hiding as well as every
    // click and key of the window.
    qApp->installEventFilter(this);
    firstFocusable(contentView_)->setFocus(Qt::PopupFocusReason);

    if (delegateAlive()) delegate_->popoverDidShow(this);
}

bool INPopoverController::popoverIsVisible() const
{
    return visible_;
}

void INPopoverController::closePopover()
{
    close(CloseKind::Program);
}

QWidget* INPopoverController::popoverView() const
{
    return visible_ ? panel_.data() : nullptr;
}

bool INPopoverController::close(CloseKind kind)
{
    if (!visible_) return true;
    if (kind == CloseKind::User && delegateAlive() && !delegate_->popoverShouldClose(this)) return false;
    QPointer<INPopoverController> self(this);
    if (kind != CloseKind::WindowGone && delegateAlive()) delegate_->popoverWillClose(this);
    if (!self || !visible_) return true;
    visible_ = false;
    stopWatching();

    auto* panel = static_cast<Panel*>(panel_.data());
    if (contentView_ && panel && contentView_->parentWidget() == panel) {
        contentView_->hide();
        contentView_->setParent(nullptr);
    }
    if (panel && kind != CloseKind::WindowGone) {
        panel->detach();
        panel->hide();
        // Possibly inside an event delivered to the panel: released on a later turn.
        panel->deleteLater();
    }
    panel_ = nullptr;
    if (kind != CloseKind::WindowGone && previousFocus_ && previousFocus_->isVisible())
        previousFocus_->setFocus(Qt::PopupFocusReason);

    auto report = [this] {
        if (closeReported_) return;
        closeReported_ = true;
        if (delegateAlive()) delegate_->popoverDidClose(this);
    };
    if (kind == CloseKind::WindowGone) {
        // The window (and maybe the delegate with it) is being destroyed: report on a later turn.
        QMetaObject::invokeMethod(this, report, Qt::QueuedConnection);
    } else {
        report();
    }
    return true;
}

void INPopoverController::panelDestroyed()
{
    // The window went while the popover was shown; the content leaves before the panel's
    // children are destroyed.
    close(CloseKind::WindowGone);
}

void INPopoverController::stopWatching()
{
    qApp->removeEventFilter(this);
}

void INPopoverController::layoutPanel()
{
    if (!panel_ || !hostWindow_) return;
    const int m = shadowMargin;
    const QSize host = hostWindow_->size();
    const QRect rect = currentAnchorRect();
    QRect anchor = rect;
    if (positionView_) anchor.moveTopLeft(positionView_->mapTo(hostWindow_, rect.topLeft()));

    const int tipX = anchor.center().x();
    const int tipY = anchor.bottom() + 3;
    const int bodyTop = tipY + arrowHeight;
    const int bodyWidth = contentSize_.width() + 2;
    int bodyHeight = contentSize_.height() + 2;
    // Shorter when the window is: never below its bottom edge, unless that leaves too little.
    const int room = host.height() - windowMargin - bodyTop;
    if (bodyHeight > room) bodyHeight = std::max(room, std::min(bodyHeight, 120));
    int bodyLeft = tipX - bodyWidth / 2;
    bodyLeft = std::min(bodyLeft, host.width() - windowMargin - bodyWidth);
    bodyLeft = std::max(bodyLeft, windowMargin);

    const QRect panelRect(bodyLeft - m, tipY - m, bodyWidth + 2 * m, bodyTop - tipY + bodyHeight + 2 * m);
    bodyRect_ = QRect(m, m + arrowHeight, bodyWidth, bodyHeight);
    const int inset = int(std::ceil(cornerRadius_)) + arrowHalfWidth;
    arrowX_ = std::clamp(tipX - panelRect.x(), bodyRect_.left() + inset,
                         std::max(bodyRect_.left() + inset, bodyRect_.right() - inset));
    panel_->setGeometry(panelRect);
    if (contentView_ && contentView_->parentWidget() == panel_)
        contentView_->setGeometry(bodyRect_.adjusted(1, 1, -1, -1));
    panel_->update();
}

QRect INPopoverController::currentAnchorRect() const
{
    return anchorWidget_ ? anchorWidget_->geometry() : anchorRect_;
}

QRect INPopoverController::anchorInGlobal() const
{
    if (!positionView_) return {};
    const QRect rect = currentAnchorRect();
    return QRect(positionView_->mapToGlobal(rect.topLeft()), rect.size());
}

bool INPopoverController::isOnPanelBody(const QPoint& globalPos) const
{
    if (!panel_) return false;
    const QPointF p = panel_->mapFromGlobal(QPointF(globalPos));
    return outlinePath(QRectF(bodyRect_), arrowX_, cornerRadius_).contains(p);
}

bool INPopoverController::eventFilter(QObject* watched, QEvent* event)
{
    if (!visible_) return false;
    const QEvent::Type type = event->type();
    if (watched == hostWindow_.data()) {
        if (type == QEvent::Resize) layoutPanel();
        if (type == QEvent::Hide) {
            close(CloseKind::Program);
            return false;
        }
    }
    if ((watched == positionView_.data() || (anchorWidget_ && watched == anchorWidget_.data())) &&
        (type == QEvent::Move || type == QEvent::Resize))
        layoutPanel();
    if (!watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != hostWindow_.data()) return false; // other windows, alerts included

    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        if (isOnPanelBody(global)) return false;
        const bool onAnchor = anchorInGlobal().contains(global);
        const bool onPanel = isInside(widget, panel_);
        const bool closed = close(CloseKind::User);
        // The control the popover hangs from never sees the click that closed it, so its
        // action can't present a new popover at once.
        return closed && (onAnchor || onPanel);
    }
    case QEvent::ShortcutOverride:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            event->accept(); // delivered as a key press, below, instead of a shortcut
            return true;
        }
        return false;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier)
            return close(CloseKind::User);
        return false;
    default:
        return false;
    }
}
