#include "app/TQThemeSwatchView.h"

#include "platform/widgets/KZAccessibleWidget.h"
#include "treemap/TQTheme.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int Swatch = 34;
constexpr int Gap = 10;
constexpr int CaptionHeight = 16;
} // namespace

TQThemeSwatchView::TQThemeSwatchView(QWidget* parent) : QWidget(parent)
{
    KZAccessibleWidget::registerClass(staticMetaObject, {QAccessible::Graphic, {}, [](const QWidget*) {
                                                             return QStringLiteral("Theme colors");
                                                         }});
    setAccessibleDescription(QStringLiteral("The colors of folders one to six levels deep, and of files"));
}

void TQThemeSwatchView::setTheme(std::shared_ptr<TQTheme> theme)
{
    theme_ = std::move(theme);
    update();
}

QSize TQThemeSwatchView::sizeHint() const
{
    return QSize(7 * Swatch + 6 * Gap + 2, Swatch + 4 + CaptionHeight);
}

void TQThemeSwatchView::paintEvent(QPaintEvent*)
{
    if (!theme_) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colors[] = {theme_->depth1Color(), theme_->depth2Color(), theme_->depth3Color(), theme_->depth4Color(),
                             theme_->depth5Color(), theme_->depth6Color(), theme_->fileColor()};
    QFont caption = font();
    caption.setPixelSize(10);
    painter.setFont(caption);
    for (int i = 0; i < 7; ++i) {
        // The file colour stands a little apart from the six depths.
        const qreal x = 1 + i * (Swatch + Gap) + (i == 6 ? 6 : 0);
        const QRectF box(x, 1, Swatch, Swatch);
        QPainterPath path;
        path.addRoundedRect(box, 5, 5);
        painter.fillPath(path, colors[i].isValid() ? colors[i] : QColor(Qt::transparent));
        painter.setPen(QPen(QColor(0, 0, 0, 60), 1));
        painter.drawPath(path);
        painter.setPen(QColor(110, 110, 110));
        const QString text = i == 6 ? QStringLiteral("Files") : QString::number(i + 1);
        painter.drawText(QRectF(x - Gap / 2.0, Swatch + 4, Swatch + Gap, CaptionHeight),
                         Qt::AlignHCenter | Qt::AlignTop, text);
    }
}
