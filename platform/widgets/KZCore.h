#pragma once
// TEMPORARY STUB until the maker's framework stand-in lands.
#include "platform/widgets/KZCConfig.h"

#include <QString>

class KZCore {
public:
    static KZCore& sharedInstance()
    {
        static KZCore core;
        return core;
    }
    void applicationDidLaunchWithConfig(const KZCConfig&) {}
    bool canShowMainWindow() const { return true; }
    void showWindow() {}
    void showAnyVisibleWindows() {}
    void rateApp() {}
};
