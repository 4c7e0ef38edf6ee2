#pragma once
// A Touch Bar that only records what it was asked to show, for tests of the Touch Bar model.

#include "kit/KZTouchBarController.h"

#include <QStringList>
#include <QWidget>

#include <vector>

namespace kittest {

class FakeTouchBar : public KZTouchBar {
public:
    std::vector<KZTouchBarItemPtr> shown;
    int templateCalls = 0;
    QStringList defaults, allowed;
    void setTemplateItems(const std::vector<KZTouchBarItemPtr>& items) override
    {
        shown = items;
        ++templateCalls;
    }
    void setDefaultItemIdentifiers(const QStringList& ids) override { defaults = ids; }
    void setCustomizationAllowedItemIdentifiers(const QStringList& ids) override { allowed = ids; }
    QWidget* shownView() const { return shown.empty() ? nullptr : shown.front()->view.data(); }
};

} // namespace kittest
