#pragma once
// The preferences' colour-theme pane: the treemap's theme (by name, in registry order) and
// its colouring rule (index 0 by relative size, index 1 by folder depth), with a strip of the
// selected theme's colours. Both pop-ups write their setting whenever the choice changes (mouse,
// keys or an assistive technology); filling them writes nothing.

#include "app/TQViewController.h"
#include "kit/KZInterfaceFile.h"

KZ_INTERFACE_CLASS(TQColorThemeViewController)

class TQColorThemeViewController : public TQViewController {
    Q_OBJECT
    KZ_INTERFACE_FILE(TQColorThemeViewController)
public:
    void didChangeTheme();
    void didChangeCalcOption();

protected:
    void awakeFromNib() override;

private:
    void showSelectedTheme();
};
