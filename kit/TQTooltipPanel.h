#pragma once
// The pale yellow panel the results screen shows beside the pointer with an item's name, size
// and dates. The screen fills, places, shows and hides it; it never takes the focus and keeps
// the light look whatever the desktop's colour scheme.

#include "kit/KZInterfaceFile.h"

#include <QWidget>

class TQTooltipPanel : public QWidget, public KZAwakeFromNib {
    Q_OBJECT
public:
    explicit TQTooltipPanel(QWidget* parent = nullptr);
    void awakeFromNib() override;

    static QColor panelColor();

private:
    void configure();
};
