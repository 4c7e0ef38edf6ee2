#include "kit/TQAppColors.h"

QColor tq_linedBackgroundColor()
{
    return QColor::fromHsvF(float(223.0 / 360.0), 0.06f, 0.97f, 1.0f);
}
