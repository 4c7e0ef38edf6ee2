// The completion chime on a sound server of the test's own: a PulseAudio daemon with a null
// sink on a socket in a temporary folder (the program reaches PipeWire the same way, through
// its PulseAudio service). Without a server the chime is silent.
#include "platform/widgets/KZSound.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace {

// Sets an environment variable for the life of the object, then puts the old value back.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name))
    {
        qputenv(name_, value);
    }
    ~ScopedVariable()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

// A PulseAudio daemon of the test's own; stopped (by its process) when the object goes.
class SoundServer {
public:
    explicit SoundServer(const std::string& folder) : socket_(QString::fromStdString(folder + "/native"))
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(folder));
        environment.insert(QStringLiteral("HOME"), QString::fromStdString(folder));
        server_.setProcessEnvironment(environment);
        server_.setProcessChannelMode(QProcess::MergedChannels);
        server_.start(QStringLiteral("pulseaudio"),
                      {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--use-pid-file=no"),
                       QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--log-target=stderr"),
                       QStringLiteral("-L"), QStringLiteral("module-null-sink sink_name=quiet"), QStringLiteral("-L"),
                       QStringLiteral("module-native-protocol-unix socket=") + socket_});
        for (int i = 0; i < 200 && !QFile::exists(socket_) && server_.state() != QProcess::NotRunning; ++i)
            QThread::msleep(50);
    }
    ~SoundServer()
    {
        server_.kill();
        server_.waitForFinished(5000);
    }
    bool ready() const { return QFile::exists(socket_); }
    QByteArray address() const { return "unix:" + QFile::encodeName(socket_); }
    QByteArray log() { return server_.readAll(); }

private:
    QString socket_;
    QProcess server_;
};

} // namespace

TEST(Sound, TheChimePlaysToItsEndOnASoundServerAndIsSilentWithoutOne)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty())
        GTEST_SKIP() << "pulseaudio is not installed (scripts/deps installs it)";
    ASSERT_NE(kz_triToneSound(), nullptr);
    kztest::TempDir dir;
    // No sound theme to fall back on: what plays is the chime itself, or nothing.
    ScopedVariable themes("XDG_DATA_DIRS", QByteArray::fromStdString(dir / "no-themes"));

    {
        // Nobody listens on the socket: nothing is played, nothing fails.
        ScopedVariable nowhere("PULSE_SERVER", "unix:" + QByteArray::fromStdString(dir / "nowhere"));
        KZSound sound(kz_triToneSound()->data());
        EXPECT_FALSE(sound.play());
    }

    kztest::makeDir(dir / "server");
    SoundServer server(dir / "server");
    ASSERT_TRUE(server.ready()) << server.log().constData();
    ScopedVariable address("PULSE_SERVER", server.address());
    KZSound sound(kz_triToneSound()->data());
    std::promise<bool> ended;
    ASSERT_TRUE(sound.play([&](bool toTheEnd) { ended.set_value(toTheEnd); }));
    std::future<bool> result = ended.get_future();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_TRUE(result.get());
}
