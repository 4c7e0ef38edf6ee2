#include "app/KZLCDLabel.h"

#include "platform/widgets/KZAccessibleWidget.h"
#include "platform/widgets/KZTextStyle.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {
// Room for the engraved shadow below the text.
constexpr int kShadowRoom = 1;
} // namespace

KZLCDLabel::KZLCDLabel(QWidget* parent) : QWidget(parent)
{
    // A line of text to assistive technology: the whole text, however much of it is drawn.
    KZAccessibleWidget::registerClass(
        staticMetaObject,
        {QAccessible::StaticText, [](const QWidget* w) { return static_cast<const KZLCDLabel*>(w)->text(); }, {}});
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QColor KZLCDLabel::displayTextColor()
{
    return QColor(0x33, 0x3a, 0x35);
}

void KZLCDLabel::setText(const QString& text)
{
    if (text == text_) return;
    text_ = text;
    updateGeometry();
    update();
    KZAccessibleWidget::textChanged(this);
}

void KZLCDLabel::setTextColor(const QColor& color)
{
    textColor_ = color;
    update();
}

void KZLCDLabel::setElideMode(Qt::TextElideMode mode)
{
    elideMode_ = mode;
    update();
}

void KZLCDLabel::setAlignment(Qt::Alignment alignment)
{
    alignment_ = alignment;
    update();
}

QString KZLCDLabel::shownText() const
{
    if (elideMode_ == Qt::ElideNone) return text_;
    return QFontMetricsF(font()).elidedText(text_, elideMode_, width());
}

QSize KZLCDLabel::sizeHint() const
{
    const QFontMetricsF fm(font());
    return QSize(int(std::ceil(fm.horizontalAdvance(text_))) + 1, int(std::ceil(fm.height())) + kShadowRoom);
}

QSize KZLCDLabel::minimumSizeHint() const
{
    const QFontMetricsF fm(font());
    const int few = int(std::ceil(fm.horizontalAdvance(QStringLiteral("M…M"))));
    return QSize(std::min(few, sizeHint().width()), sizeHint().height());
}

void KZLCDLabel::paintEvent(QPaintEvent*)
{
    if (text_.isEmpty()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    KZTextStyle style;
    style.font = font();
    style.color = textColor_.isValid() ? textColor_ : displayTextColor();
    style.shadow = KZShadow{QColor(255, 255, 255, 200), QPointF(0, 1), 0};
    style.alignment = alignment_;
    style.elideMode = elideMode_;
    style.draw(painter, QRectF(0, 0, width(), height() - kShadowRoom), text_, palette());
}
