// The results screen's watcher under a burst of outside changes, on the offscreen platform:
//   watch [--items N] [--files N]
// The main window scans a new folder of N items (default 20,000 files) and shows its results
// with the real watcher on it. Then another process creates files in that folder (default
// 3,000), twice:
// 1. files smaller than the minimum size: every event is looked at, and no prompt comes;
// 2. files at least that large: the rescan prompt shows (a real window-modal alert).
// A 10 ms timer on the main thread measures the longest the thread went without serving it,
// from just before the other process starts until the watcher has delivered everything and
// half a second more has passed; with it, the CPU time the main thread had in that longest
// gap (a gap much longer than that was spent waiting for a core on a busy machine).
// The last line: max_stall_ms= quiet_stall_ms= prompt_stall_ms= prompt_shown=

#include "app/TQMainWindowController.h"
#include "app/TQTreemapViewController.h"
#include "bench/BenchSupport.h"
#include "kit/KZButton.h"
#include "kit/KZController.h"
#include "kit/KZDropView.h"
#include "model/Preferences.h"
#include "platform/widgets/KZAppearance.h"
#include "treemap/TQTheme.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kMinimumSize = 100000; // bytes
constexpr int kSmallFile = 1000;        // under the minimum
constexpr int kLargeFile = 200000;      // over it

// The main thread's CPU time so far, in nanoseconds.
qint64 threadCpuNs()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The longest gap between two ticks of a 10 ms timer while measuring, and the CPU time the
// main thread spent in that gap (far less than the gap: the thread was waiting for a core).
class StallMeter : public QObject {
public:
    StallMeter()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
        clock_.start();
    }
    void start()
    {
        maxGapNs_ = 0;
        maxGapCpuNs_ = 0;
        last_ = clock_.nsecsElapsed();
        lastCpu_ = threadCpuNs();
        timer_.start();
    }
    double stop()
    {
        tick();
        timer_.stop();
        return maxGapNs_ / 1e6;
    }
    double maxGapCpuMs() const { return maxGapCpuNs_ / 1e6; }

private:
    void tick()
    {
        const qint64 now = clock_.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        if (now - last_ > maxGapNs_) {
            maxGapNs_ = now - last_;
            maxGapCpuNs_ = cpu - lastCpu_;
        }
        last_ = now;
        lastCpu_ = cpu;
    }
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 lastCpu_ = 0;
    qint64 maxGapNs_ = 0;
    qint64 maxGapCpuNs_ = 0;
};

// The application, timing every event it delivers on the main thread: the longest one names
// what blocked the thread.
class TimingApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        if (depth_++ > 0) {
            const bool r = QApplication::notify(receiver, event);
            --depth_;
            return r;
        }
        QElapsedTimer t;
        t.start();
        const QString name = QString::fromLatin1(receiver->metaObject()->className());
        const int type = int(event->type());
        const bool r = QApplication::notify(receiver, event);
        --depth_;
        const qint64 ns = t.nsecsElapsed();
        if (measuring && ns > longestNs) {
            longestNs = ns;
            longest = QStringLiteral("%1/%2").arg(name).arg(type);
        }
        return r;
    }
    bool measuring = false;
    qint64 longestNs = 0;
    QString longest;

private:
    int depth_ = 0;
};

// Runs the event loop until the condition holds.
bool spinUntil(const std::function<bool()>& done, double timeoutSeconds)
{
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    bool timedOut = false;
    QTimer::singleShot(int(timeoutSeconds * 1000), &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    poll.start();
    if (!done()) loop.exec();
    return !timedOut || done();
}

// The other process: N files of SIZE bytes named PREFIX0, PREFIX1... in FOLDER.
int makeFiles(const char* folder, const char* prefix, int count, int size)
{
    const int dir = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return 1;
    std::vector<char> data(size_t(size), 'x');
    for (int i = 0; i < count; ++i) {
        const std::string name = prefix + std::to_string(i);
        const int fd = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return 1;
        if (::write(fd, data.data(), data.size()) < 0) return 1;
        ::close(fd);
    }
    ::close(dir);
    return 0;
}

pid_t spawnMaker(const std::string& self, const std::string& folder, const std::string& prefix, int count, int size)
{
    std::vector<std::string> args{self, "--make-files", folder, prefix, std::to_string(count), std::to_string(size)};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

int usage()
{
    std::fprintf(stderr, "usage: watch [--items N] [--files N]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 6 && std::strcmp(argv[1], "--make-files") == 0)
        return makeFiles(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]));

    int items = 20000;
    int files = 3000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--items") == 0 && i + 1 < argc) {
            items = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--files") == 0 && i + 1 < argc) {
            files = std::atoi(argv[++i]);
        } else {
            return usage();
        }
    }
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir home;
    const QByteArray base = home.path().toLocal8Bit();
    ::setenv("XDG_CONFIG_HOME", (base + "/config").constData(), 1);
    ::setenv("XDG_DATA_HOME", (base + "/data").constData(), 1);
    ::setenv("XDG_CACHE_HOME", (base + "/cache").constData(), 1);
    std::string self = "/proc/self/exe";
    {
        char path[4096];
        const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
        if (n > 0) self.assign(path, size_t(n));
    }

    // The scanned folder: its items, made before anything is measured.
    const std::string folder = bench::makeScratch("watch");
    {
        const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int i = 0; i < items; ++i) bench::makeFile(dir, ("item" + std::to_string(i) + ".dat").c_str());
        ::close(dir);
    }
    std::printf("made %d items in %s\n", items, folder.c_str());
    std::fflush(stdout);

    TimingApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sizemere"));
    KZAppearance::install();
    Preferences& preferences = Preferences::sharedPreferences();
    preferences.setMinFileSize(0); // every item is a record
    preferences.setSuppressFileChangeAlert(false);
    preferences.setShowHiddenFiles(false);
    TQTheme::registerAvailableThemes();

    auto wc = controller<TQMainWindowController>();
    wc->showWindow();
    wc->window()->resize(1600, 1000);
    auto* dropView = wc->window()->findChild<KZDropView*>(QStringLiteral("dropView"));
    auto* nextButton = wc->window()->findChild<KZButton*>(QStringLiteral("nextButton"));
    spinUntil([] { return false; }, 0.3);
    dropView->addFilePaths({folder});
    wc->dropViewFileWasDropped(dropView);
    nextButton->click();
    auto results = [&]() -> TQTreemapViewController* {
        TQTreemapViewController* r = wc->treemapViewController();
        return r && wc->currentViewController() == r ? r : nullptr;
    };
    auto watcherIdle = [&] {
        const CDEvents* w = results() ? results()->rescanPrompt()->fileEventListener() : nullptr;
        return w && w->isWatchingEverything() && w->isIdle();
    };
    if (!spinUntil([&] { return results() && watcherIdle(); }, 600)) {
        std::fprintf(stderr, "the results never showed with a watcher\n");
        return 1;
    }
    std::printf("watches=%zu\n", results()->rescanPrompt()->fileEventListener()->watchCount());
    preferences.setMinFileSize(kMinimumSize);
    spinUntil([] { return false; }, 0.5);

    StallMeter stalls;
    auto round = [&](const char* prefix, int size, double& stallMs, double& stallCpuMs, QString& longest,
                     double& longestMs) {
        app.measuring = true;
        app.longestNs = 0;
        stalls.start();
        const pid_t child = spawnMaker(self, folder, prefix, files, size);
        if (child < 0) return false;
        int status = 0;
        spinUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 600);
        // Every event delivered (the latency is a second), then a little more.
        spinUntil([] { return false; }, 0.2);
        spinUntil(watcherIdle, 600);
        spinUntil([] { return false; }, 0.5);
        stallMs = stalls.stop();
        stallCpuMs = stalls.maxGapCpuMs();
        app.measuring = false;
        longest = app.longest;
        longestMs = app.longestNs / 1e6;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };

    double quietStall = 0, promptStall = 0, quietLongestMs = 0, promptLongestMs = 0, quietCpu = 0, promptCpu = 0;
    QString quietLongest, promptLongest;
    if (!round("small", kSmallFile, quietStall, quietCpu, quietLongest, quietLongestMs)) {
        std::fprintf(stderr, "the other process failed\n");
        return 1;
    }
    const bool promptAfterSmall = !results()->rescanPrompt()->canShowFileChangeAlert();
    std::printf(
        "small files: stall_ms=%.1f (main thread on a core %.1f ms of it) longest_event_ms=%.1f (%s) prompt=%d\n",
        quietStall, quietCpu, quietLongestMs, qPrintable(quietLongest), promptAfterSmall ? 1 : 0);
    std::fflush(stdout);
    if (!round("large", kLargeFile, promptStall, promptCpu, promptLongest, promptLongestMs)) {
        std::fprintf(stderr, "the other process failed\n");
        return 1;
    }
    // The prompt is up: the screen can't show another.
    const bool promptShown = !results()->rescanPrompt()->canShowFileChangeAlert();
    std::printf(
        "large files: stall_ms=%.1f (main thread on a core %.1f ms of it) longest_event_ms=%.1f (%s) prompt=%d\n",
        promptStall, promptCpu, promptLongestMs, qPrintable(promptLongest), promptShown ? 1 : 0);

    std::printf("max_stall_ms=%.1f quiet_stall_ms=%.1f prompt_stall_ms=%.1f prompt_shown=%d\n",
                std::max(quietStall, promptStall), quietStall, promptStall, promptShown && !promptAfterSmall ? 1 : 0);
    std::fflush(stdout);
    bench::run({"rm", "-rf", folder});
    // Leave without tearing the windows and the tree down.
    ::_exit(0);
}
