#include "kit/KZButton.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

KZButton::KZButton(QWidget* parent) : QAbstractButton(parent), cell_(std::make_unique<KZButtonCell>())
{
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (wasClickedBlock_) wasClickedBlock_(this);
    });
    updateTitle();
    configure();
}

KZButton::~KZButton() = default;

void KZButton::awakeFromNib()
{
    configure();
}

void KZButton::configure()
{
    // The hover twin of the image, when the resources have one.
    if (!image_.name().isEmpty()) {
        const KZImage hover = KZImage::named(KZImage::hoverName(image_.name()));
        if (!hover.isNull()) highlightedImage_ = hover;
    }
    updateCursor();
}

void KZButton::setImage(const KZImage& image, bool highlighted)
{
    if (!highlighted) defaultImage_ = KZImage();
    image_ = image;
    if (!highlighted) configure();
    updateCursor();
    updateGeometry();
    update();
}

void KZButton::setTitle(const QString& title)
{
    title_ = title;
    setText(title);
    updateTitle();
    updateCursor();
    updateGeometry();
    update();
}

void KZButton::setTitleColor(const QColor& color)
{
    if (color == titleColor_ && color.isValid() == titleColor_.isValid()) return;
    titleColor_ = color;
    updateTitle();
    update();
}

void KZButton::updateTitle()
{
    KZTextStyle style;
    style.font = font();
    style.alignment = Qt::AlignCenter;
    style.elideMode = Qt::ElideRight;
    // Without a title colour the palette's colour is used, also under a shadow.
    if (titleColor_.isValid()) style.color = titleColor_;
    style.shadow = textShadow_;
    titleStyle_ = style;
}

void KZButton::setShowsCursor(bool on)
{
    showsCursor_ = on;
    updateCursor();
}

void KZButton::setTransparent(bool on)
{
    transparent_ = on;
    updateCursor();
    update();
}

void KZButton::setBordered(bool on)
{
    bordered_ = on;
    update();
}

void KZButton::setBezelStyle(int style)
{
    bezelStyle_ = style;
    update();
}

void KZButton::updateCursor()
{
    if (!image_.isNull() || !title_.isEmpty() || showsCursor_ || transparent_)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void KZButton::setState(int state)
{
    state_ = state;
    highlight(state != Off);
}

void KZButton::highlight(bool on)
{
    if (highlighted_ == on) return;
    highlighted_ = on;
    update();
}

void KZButton::setWasClickedBlock(ClickedBlock block)
{
    wasClickedBlock_ = std::move(block);
}

void KZButton::setCell(std::unique_ptr<KZButtonCell> cell)
{
    cell_ = cell ? std::move(cell) : std::make_unique<KZButtonCell>();
    update();
}

void KZButton::setCellClass(const QString& className)
{
    setCell(KZButtonCell::cellWithClassName(className));
}

void KZButton::mouseEntered()
{
    if (highlightedImage_.isNull() || !isEnabled()) return;
    if (defaultImage_.isNull()) defaultImage_ = image_;
    setImage(highlightedImage_, true);
}

void KZButton::mouseExited()
{
    if (highlightedImage_.isNull() || defaultImage_.isNull() || !isEnabled()) return;
    setImage(defaultImage_, true);
}

void KZButton::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    mouseEntered();
}

void KZButton::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    mouseExited();
}

void KZButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) updateTitle();
    QAbstractButton::changeEvent(event);
}

bool KZButton::hitButton(const QPoint& pos) const
{
    return rect().contains(pos);
}

void KZButton::sendAction()
{
    emit clicked(state_ == On);
}

void KZButton::performClick()
{
    sendAction();
}

void KZButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        event->ignore();
        return;
    }
    event->accept();
    if (toggleButton_ || tabButton_) {
        highlight(true);
        return;
    }
    // The normal image shows while the button is held.
    mouseExited();
    tracking_ = true;
    highlight(true);
    if (actionOnMouseDown_) {
        QPointer<KZButton> guard(this);
        sendAction();
        if (!guard) return;
    }
}

void KZButton::mouseMoveEvent(QMouseEvent* event)
{
    if (tracking_) highlight(rect().contains(event->position().toPoint()));
    event->accept();
}

void KZButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    if (toggleButton_ || tabButton_) {
        if (!isEnabled()) return;
        // Wherever the pointer was released.
        if (toggleButton_) setState(state_ == Off ? On : Off);
        sendAction();
        return;
    }
    if (!tracking_) return;
    tracking_ = false;
    const bool inside = rect().contains(event->position().toPoint());
    highlight(false);
    if (inside && !actionOnMouseDown_) sendAction();
}

QSize KZButton::sizeHint() const
{
    QSizeF s(0, 0);
    if (!image_.isNull()) s = image_.size();
    if (!title_.isEmpty()) {
        const QSizeF t = titleStyle_.size(title_);
        s.setWidth(s.width() + t.width() + (image_.isNull() ? 0 : 4));
        s.setHeight(std::max(s.height(), t.height()));
    }
    if (bordered_ || bezelStyle_ != 0) s += QSizeF(24, 10);
    return s.toSize().expandedTo(QSize(16, 16));
}

void KZButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    cell_->draw(painter, *this);
}
