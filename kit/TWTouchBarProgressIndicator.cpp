#include "kit/TWTouchBarProgressIndicator.h"

TWTouchBarProgressIndicator::TWTouchBarProgressIndicator(QWidget* parent) : YRKSpinningProgressIndicator(parent)
{
    configure();
}

void TWTouchBarProgressIndicator::awakeFromNib()
{
    configure();
}

QColor TWTouchBarProgressIndicator::touchBarColor()
{
    return QColor::fromRgbF(0.1255f, 0.5804f, 0.9804f, 1.0f);
}

void TWTouchBarProgressIndicator::configure()
{
    setColor(touchBarColor());
    setIndeterminate(true);
    setUsesThreadedAnimation(false);
}
