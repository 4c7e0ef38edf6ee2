#include "kit/TQTooltipPanel.h"

#include "platform/widgets/KZAppearance.h"

TQTooltipPanel::TQTooltipPanel(QWidget* parent) : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
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
