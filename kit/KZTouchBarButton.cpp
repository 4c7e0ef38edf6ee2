#include "kit/KZTouchBarButton.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTouchEvent>

KZTouchBarButton::KZTouchBarButton(QWidget* parent)
    : QAbstractButton(parent), cell_(std::make_unique<KZTouchBarButtonCell>())
{
    setAttribute(Qt::WA_AcceptTouchEvents);
    updateEnabled();
}

KZTouchBarButton::~KZTouchBarButton() = default;

void KZTouchBarButton::awakeFromNib()
{
    updateEnabled();
}

void KZTouchBarButton::setCellClass(const QString& className)
{
    cell_ = className.isEmpty() ? nullptr : KZTouchBarButtonCell::cellWithClassName(className);
    update();
}

void KZTouchBarButton::setImage(const KZImage& image)
{
    image_ = image;
    update();
}

void KZTouchBarButton::updateEnabled()
{
    alphaValue_ = isEnabled() ? 1.0 : double(0.8f);
    update();
}

void KZTouchBarButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) updateEnabled();
    QAbstractButton::changeEvent(event);
}

void KZTouchBarButton::actuallyTouch()
{
    if (!cell_) return;
    cell_->setMouseDown(true);
    update();
}

void KZTouchBarButton::setCellMouseDown(bool down)
{
    if (!cell_) return;
    cell_->setMouseDown(down);
    update();
}

bool KZTouchBarButton::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::TouchBegin:
        if (!isEnabled()) return true;
        actuallyTouch();
        event->accept();
        return true;
    case QEvent::TouchUpdate:
        // Moving a finger drops the pressed look.
        setCellMouseDown(false);
        event->accept();
        return true;
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        if (!isEnabled()) return true;
        setCellMouseDown(false);
        event->accept();
        return true;
    default:
        return QAbstractButton::event(event);
    }
}

void KZTouchBarButton::mousePressEvent(QMouseEvent* event)
{
    if (!isEnabled()) return;
    if (!cell_) {
        QAbstractButton::mousePressEvent(event);
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    setCellMouseDown(true);
    event->accept();
}

void KZTouchBarButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (!cell_) {
        QAbstractButton::mouseReleaseEvent(event);
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    cell_->setMouseDown(false);
    if (!isEnabled()) return;
    update();
    if (rect().contains(event->position().toPoint())) emit clicked(false);
}

QSize KZTouchBarButton::sizeHint() const
{
    QFont f = font();
    f.setPixelSize(13);
    const int textWidth = QFontMetrics(f).horizontalAdvance(text());
    return QSize(std::max(72, textWidth + (image_.isNull() ? 24 : 44)), 30);
}

void KZTouchBarButton::paintEvent(QPaintEvent*)
{
    if (!cell_) {
        QStylePainter painter(this);
        painter.setOpacity(alphaValue_);
        QStyleOptionButton option;
        option.initFrom(this);
        option.text = text();
        if (isDown()) option.state |= QStyle::State_Sunken;
        painter.drawControl(QStyle::CE_PushButton, option);
        return;
    }
    QPainter painter(this);
    painter.setOpacity(alphaValue_);
    const QRectF frame(rect());
    const QPalette colours = KZTouchBarButtonCell::touchBarPalette();
    cell_->drawBezel(painter, frame, colours);
    cell_->drawInterior(painter, frame, text(), image_, colours);
}
