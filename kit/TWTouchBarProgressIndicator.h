#pragma once
// The spinner shown in the Touch Bar while a scan runs: blue fins, indeterminate, on the
// main thread's timer.

#include "kit/KZInterfaceFile.h"
#include "kit/YRKSpinningProgressIndicator.h"

class TWTouchBarProgressIndicator : public YRKSpinningProgressIndicator, public KZAwakeFromNib {
    Q_OBJECT
public:
    explicit TWTouchBarProgressIndicator(QWidget* parent = nullptr);
    void awakeFromNib() override;

    static QColor touchBarColor();

private:
    void configure();
};
