#include "kit/DSTableViewColors.h"

namespace DSTableViewColors {
QColor cellGradientStart()
{
    return QColor::fromRgbF(0.98f, 0.98f, 0.98f);
}
QColor cellGradientEnd()
{
    return QColor::fromRgbF(1.0f, 1.0f, 1.0f);
}
QColor borderTop()
{
    return QColor::fromHsvF(0.0f, 0.0f, 0.94f);
}
QColor borderBottom()
{
    return QColor(Qt::white);
}
QColor selectionBorderTop()
{
    return QColor::fromRgbF(0.37f, 0.65f, 0.87f);
}
QColor selectionBorderBottom()
{
    return QColor::fromRgbF(0.21f, 0.49f, 0.75f);
}
QColor selectionStart()
{
    return QColor::fromRgbF(0.42f, 0.69f, 0.89f);
}
QColor selectionEnd()
{
    return QColor::fromRgbF(0.23f, 0.53f, 0.81f);
}
} // namespace DSTableViewColors
