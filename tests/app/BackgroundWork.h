#pragma once
// Ends a test's background work: waits for the background pool (icon lookups, deletion runs)
// and hands what it posted to the main thread, so nothing a test started reaches the main
// thread after the test (or after the application object) is gone.

#include "platform/KZDispatch.h"

#include <QCoreApplication>
#include <QThreadPool>

namespace kztest {

inline void finishBackgroundWork()
{
    kz::backgroundPool().waitForDone();
    QCoreApplication::processEvents();
}

} // namespace kztest
