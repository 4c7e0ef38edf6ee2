// Every test program runs inside a QApplication on the offscreen platform, with the settings,
// the Trash and caches in folders of its own, and no sound server: no test touches the user's
// real ones. A test run again inside mount namespaces (tests/support/Mounts.h) reports its
// results to its parent.
#include "tests/support/Mounts.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir home;
    const QByteArray base = home.path().toLocal8Bit();
    ::setenv("XDG_CONFIG_HOME", (base + "/config").constData(), 1);
    ::setenv("XDG_DATA_HOME", (base + "/data").constData(), 1);
    ::setenv("XDG_CACHE_HOME", (base + "/cache").constData(), 1);
    // Sounds go to a server a test starts for itself, never to the user's: here, nowhere.
    ::setenv("PULSE_SERVER", ("unix:" + base + "/no-sound-server").constData(), 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sizemere-tests"));
    ::testing::InitGoogleTest(&argc, argv);
    kztest::reportToParentProcess();
    return RUN_ALL_TESTS();
}
