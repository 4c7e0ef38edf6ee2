#include "kit/KZSpaceLabel.h"

#include "platform/widgets/KZAccessibleWidget.h"
#include "platform/widgets/KZFontFitting.h"

#include <QPainter>

#include <cmath>
#include <cstdio>
#include <limits>

namespace {
qsizetype sharedLastLength = std::numeric_limits<qsizetype>::max();
}

namespace {
// What the label reads: the text shown, with a blank between the number and its unit.
QString spokenText(const QWidget* widget)
{
    const auto* label = static_cast<const KZSpaceLabel*>(widget);
    const QString text = label->stringValue();
    const QString unit = label->unitText();
    if (unit.isEmpty() || !text.endsWith(unit) || text.size() == unit.size()) return text;
    return text.left(text.size() - unit.size()) + QLatin1Char(' ') + unit;
}
} // namespace

KZSpaceLabel::KZSpaceLabel(QWidget* parent) : QWidget(parent)
{
    // Named by the caption whose buddy it is (else by what it shows); its value is the size.
    KZAccessibleWidget::registerClass(staticMetaObject, {QAccessible::StaticText, spokenText, {}});
}

KZSpaceLabel::~KZSpaceLabel() = default;

void KZSpaceLabel::awakeFromNib()
{
    if (size_ == -1 && !animating_) size_ = 0;
}

qsizetype KZSpaceLabel::lastFittedLength()
{
    return sharedLastLength;
}

void KZSpaceLabel::resetLastFittedLength()
{
    sharedLastLength = std::numeric_limits<qsizetype>::max();
}

KZMemoryFormatter* KZSpaceLabel::memoryFormatter()
{
    if (!memoryFormatter_) memoryFormatter_ = std::make_unique<KZMemoryFormatter>();
    return memoryFormatter_.get();
}

QString KZSpaceLabel::titleText(double value, const QString& unit)
{
    // The C library's rounding (halves to even), as the platform's formatter does.
    char digits[64];
    std::snprintf(digits, sizeof digits, "%0.1f", value);
    return QString::fromLatin1(digits) + unit;
}

QFont KZSpaceLabel::unitFont(const QFont&)
{
    QFont f;
    f.setPixelSize(11);
    return f;
}

void KZSpaceLabel::setTitleWithSize(double value, const QString& unit)
{
    const QString text = titleText(value, unit);
    const qsizetype unitAt = unit.isEmpty() ? -1 : text.indexOf(unit);
    runs_.clear();
    if (unitAt < 0) {
        runs_.append({text, std::nullopt});
    } else {
        runs_.append({text.left(unitAt), std::nullopt});
        runs_.append({unit, unitFont(font())});
        if (unitAt + unit.size() < text.size()) runs_.append({text.mid(unitAt + unit.size()), std::nullopt});
    }
    attributed_ = true;
    update();
}

void KZSpaceLabel::updateTitle()
{
    setTitleWithSize(size_, unit_);
}

void KZSpaceLabel::changeText()
{
    setTitleWithSize(trackingValue_, unit_);
}

void KZSpaceLabel::setSize(double bytes)
{
    if (bytes == size_) return;
    size_ = bytes;
    const auto [number, unit] = memoryFormatter()->arrayFromBytes(bytes);
    setTitleWithSize(double(float(number)), unit);
}

void KZSpaceLabel::setSize(double value, const QString& unit, bool animated)
{
    if (animating_) {
        animationQueue_.push_back({value, unit});
        return;
    }
    unit_ = unit;
    // A value that is not finite cannot be counted to: it shows at once.
    if (animated && size_ != -1 && std::isfinite(value) && std::isfinite(size_)) {
        animateToSize(value);
        return;
    }
    setSize(value);
    updateTitle();
}

void KZSpaceLabel::animateToSize(double value)
{
    oldValue_ = size_;
    setSize(value);
    if (oldValue_ == size_ || !std::isfinite(oldValue_) || !std::isfinite(size_)) {
        // Nothing to count: show the value with its (possibly new) unit.
        updateTitle();
        return;
    }
    stepValue_ = std::abs(oldValue_ - size_) * 0.125;
    trackingValue_ = oldValue_;
    animating_ = true;
    timer_ = KZAnimationClock::shared().schedule(double(0.01f), true, [this] { changeValue(); });
}

void KZSpaceLabel::changeValue()
{
    const double hi = std::max(size_, oldValue_);
    const double lo = std::min(size_, oldValue_);
    if (hi == size_)
        trackingValue_ += stepValue_;
    else
        trackingValue_ -= stepValue_;
    if (trackingValue_ > hi || trackingValue_ < lo) {
        timer_.reset();
        trackingValue_ = size_;
        animating_ = false;
        // The target shows before the next request (which may change the unit) starts.
        changeText();
        processNextQueueItem();
        return;
    }
    changeText();
}

void KZSpaceLabel::processNextQueueItem()
{
    // A request equal to the value shown starts no count; go on with the next one, so the
    // queue never stalls.
    while (!animating_ && !animationQueue_.empty()) {
        Request next = std::move(animationQueue_.front());
        animationQueue_.pop_front();
        unit_ = next.unit;
        const double value = double(float(next.size));
        if (!std::isfinite(value) || !std::isfinite(size_)) {
            setSize(value);
            updateTitle();
            continue;
        }
        animateToSize(value);
    }
}

void KZSpaceLabel::setIntegerValue(qint64 value)
{
    runs_ = {{QString::number(value), std::nullopt}};
    attributed_ = false;
    update();
    adjustFontSize();
}

QString KZSpaceLabel::stringValue() const
{
    QString text;
    for (const auto& run : runs_) text += run.text;
    return text;
}

void KZSpaceLabel::adjustFontSize()
{
    const QString text = stringValue();
    if (text.size() == sharedLastLength) return;
    sharedLastLength = text.size();
    // An empty box (not laid out yet) gives no size: the font stays.
    const auto fitted = kz_fontToFitSize(text, QSizeF(QWidget::size()), font());
    if (fitted && fitted->pixelSize() != font().pixelSize()) setFont(*fitted);
}

void KZSpaceLabel::setTextColor(const QColor& color)
{
    textColor_ = color;
    update();
}

void KZSpaceLabel::setAlignment(Qt::Alignment alignment)
{
    alignment_ = alignment;
    update();
}

QSize KZSpaceLabel::sizeHint() const
{
    KZTextStyle style;
    style.font = font();
    const QSizeF s =
        style.size(runs_.isEmpty() ? QList<KZTextStyle::Run>{{QStringLiteral("0.0"), std::nullopt}} : runs_);
    return (s + QSizeF(8, 4)).toSize();
}

void KZSpaceLabel::paintEvent(QPaintEvent*)
{
    if (runs_.isEmpty()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    KZTextStyle style;
    style.font = font();
    if (textColor_.isValid()) style.color = textColor_;
    if (attributed_) {
        style.alignment = Qt::AlignCenter;
        style.shadow = KZShadow{Qt::white, QPointF(0, 1), 0};
    } else {
        style.alignment = alignment_;
    }
    style.draw(painter, QRectF(rect()), runs_, palette());
}
