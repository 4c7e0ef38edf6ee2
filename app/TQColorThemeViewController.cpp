#include "app/TQColorThemeViewController.h"

#include "ui_TQColorThemeViewController.h"

#include "model/Preferences.h"
#include "treemap/TQTheme.h"

#include <QSignalBlocker>

KZ_INTERFACE_FILE_IMPL(TQColorThemeViewController)

void TQColorThemeViewController::awakeFromNib()
{
    TQViewController::awakeFromNib();
    Ui::TQColorThemeViewController* form = ui();
    Preferences& p = Preferences::sharedPreferences();

    {
        // Filling the pop-ups is no user's choice: it writes nothing.
        const QSignalBlocker themes(form->themeDropDownButton);
        const QSignalBlocker calcOptions(form->calcOptionsDropdown);
        form->themeDropDownButton->clear();
        if (const auto* available = TQTheme::availableThemes())
            for (const auto& theme : *available) form->themeDropDownButton->addItem(theme->name());
        // A name no theme has selects nothing.
        form->themeDropDownButton->setCurrentIndex(form->themeDropDownButton->findText(p.selectedThemeName()));
        form->calcOptionsDropdown->setCurrentIndex(p.useDepth() ? 1 : 0);
    }
    showSelectedTheme();

    QPalette hint = form->calcOptionsHintLabel->palette();
    hint.setColor(QPalette::WindowText, QColor(118, 118, 118));
    form->calcOptionsHintLabel->setPalette(hint);
    QFont small = form->calcOptionsHintLabel->font();
    small.setPixelSize(11);
    form->calcOptionsHintLabel->setFont(small);

    // Every change of choice writes, by mouse, key or assistive technology alike.
    connect(form->themeDropDownButton, &QComboBox::currentIndexChanged, this, [this] { didChangeTheme(); });
    connect(form->calcOptionsDropdown, &QComboBox::currentIndexChanged, this, [this] { didChangeCalcOption(); });
}

void TQColorThemeViewController::didChangeTheme()
{
    Preferences::sharedPreferences().setSelectedThemeName(ui()->themeDropDownButton->currentText());
    showSelectedTheme();
}

void TQColorThemeViewController::didChangeCalcOption()
{
    Preferences::sharedPreferences().setUseDepth(ui()->calcOptionsDropdown->currentIndex() != 0);
}

void TQColorThemeViewController::showSelectedTheme()
{
    const int index = ui()->themeDropDownButton->currentIndex();
    ui()->themeSwatchView->setTheme(index < 0 ? nullptr
                                              : TQTheme::themeWithName(ui()->themeDropDownButton->currentText()));
}
