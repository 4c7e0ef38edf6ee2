#include "kit/TQTooltipPanel.h"

#include "platform/widgets/KZAccessibleWidget.h"
#include "platform/widgets/KZAppearance.h"

#include <QLabel>

namespace {
// What the panel says: the texts of its labels.
QString panelText(const QWidget* panel)
{
    QStringList texts;
    for (const QLabel* label : panel->findChildren<QLabel*>())
        if (!label->isHidden() && !label->text().isEmpty()) texts << label->text();
    return texts.join(QLatin1Char('\n'));
}
} // namespace

TQTooltipPanel::TQTooltipPanel(QWidget* parent) : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    // A tool tip to assistive technology, named by what it says.
    KZAccessibleWidget::registerClass(staticMetaObject, {QAccessible::ToolTip, panelText, {}});
    configure();
}

void TQTooltipPanel::awakeFromNib()
{
    configure();
}

QColor TQTooltipPanel::panelColor()
{
    return QColor::fromRgbF(0.96f, 0.97f, 0.77f, 1.0f);
}

void TQTooltipPanel::configure()
{
    KZAppearance::applyAqua(this);
    QPalette p = palette();
    p.setColor(QPalette::Window, panelColor());
    setPalette(p);
    setAutoFillBackground(true);
}
