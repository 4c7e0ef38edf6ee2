// The real program's main window on the offscreen platform, driven as a user would:
//   app [--scan PATH] [--delete-files N] FOLDER
// 1. bench/scan scans FOLDER in a child process (its time is the reference);
// 2. the main window scans FOLDER: the clock runs from the click on Next in the folder step
//    to the end of the treemap's first paint; the resident memory is read then;
// 3. Start Again, a new folder of N files (default 100,000, made and synced to the disk before
//    anything is measured) is scanned, every file is queued, Finish answers Delete to the
//    queue question, and the delete sheet deletes them all.
// A 10 ms timer on the main thread measures the longest the thread went without serving it,
// during step 2 and step 3. Every file is a record (minimum size 0) in both scans.
// The results screen's watcher is on during step 2 (it starts as the screen appears): the
// process's CPU time (user and system, every thread) from the end of the treemap's first
// paint until the program is quiet again (the watcher watches every folder and has nothing
// left to do, no block waits for the main thread and the background pool has nothing left to
// run) is cpu_after_treemap_s (the stall figure of step 2 covers that time too). Then the
// watcher is set up three times more, with nothing else running: watch_cpu_s is the median
// CPU time from its start to idle, watch_start_ms the longest its start held the main thread,
// watches= how many folders it watches. Step 3 runs with the watcher off. The longest event
// the main thread handled in each of steps 2 and 3 is named with its time.
// The last line: scan_to_treemap_s= scan_s= max_stall_ms= rss_mb= cpu_after_treemap_s= watch_cpu_s=

#include "app/KZFinishedViewController.h"
#include "app/TQFileScanViewController.h"
#include "app/TQMainWindowController.h"
#include "app/TQTreemapViewController.h"
#include "bench/BenchSupport.h"
#include "kit/KZButton.h"
#include "kit/KZController.h"
#include "kit/KZDropView.h"
#include "model/KZFile.h"
#include "model/Preferences.h"
#include "model/TQDeleteQueue.h"
#include "platform/KZDispatch.h"
#include "platform/KZUserDefaults.h"
#include "platform/widgets/KZAlertService.h"
#include "platform/widgets/KZAppearance.h"
#include "treemap/TQTheme.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

double residentMB()
{
    std::ifstream statm("/proc/self/statm");
    long long size = 0, resident = 0;
    statm >> size >> resident;
    return double(resident) * double(::sysconf(_SC_PAGESIZE)) / 1e6;
}

// The longest gap between two ticks of a 10 ms timer while measuring.
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
        last_ = clock_.nsecsElapsed();
        timer_.start();
    }
    void stop()
    {
        tick();
        timer_.stop();
    }
    double maxGapMs() const { return maxGapNs_ / 1e6; }
    void reset() { maxGapNs_ = 0; }

private:
    void tick()
    {
        const qint64 now = clock_.nsecsElapsed();
        maxGapNs_ = std::max(maxGapNs_, now - last_);
        last_ = now;
    }
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 maxGapNs_ = 0;
};

// CPU seconds the process has used, every thread, user and system.
double processCpuSeconds()
{
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Notes the end of the first paint of the treemap view after arm(), and the CPU time then.
class PaintWatcher : public QObject {
public:
    void arm()
    {
        painted_ = false;
        armed_ = true;
    }
    bool painted() const { return painted_; }
    qint64 paintedAtNs = 0;
    double cpuAtPaint = 0;
    QElapsedTimer* clock = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!armed_ || event->type() != QEvent::Paint || !watched->inherits("KZNestedTreemapView"))
            return QObject::eventFilter(watched, event);
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->width() < 50 || widget->height() < 50) return QObject::eventFilter(watched, event);
        // Paint now, so the time taken includes the drawing.
        static_cast<QObject*>(widget)->event(event);
        paintedAtNs = clock->nsecsElapsed();
        cpuAtPaint = processCpuSeconds();
        painted_ = true;
        armed_ = false;
        return true;
    }

private:
    bool armed_ = false;
    bool painted_ = false;
};

// Runs the event loop (a real one, so that released objects go) until the condition holds.
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

double runScanBench(const std::string& scanBinary, const std::string& folder)
{
    const std::string command = "'" + scanBinary + "' --min-size 0 '" + folder + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    char line[512];
    double seconds = -1;
    while (std::fgets(line, sizeof line, pipe)) {
        if (const char* s = std::strstr(line, "seconds=")) seconds = std::atof(s + 8);
    }
    ::pclose(pipe);
    return seconds;
}

void collectFiles(KZDirectory* root, KZFileList& out)
{
    std::vector<KZDirectory*> stack{root};
    while (!stack.empty()) {
        KZDirectory* d = stack.back();
        stack.pop_back();
        for (KZFile* child : d->children()) {
            if (KZDirectory* sub = kz_asDirectory(child))
                stack.push_back(sub);
            else
                out.push_back(KZFilePtr(child));
        }
    }
}

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

int usage()
{
    std::fprintf(stderr, "usage: app [--scan PATH] [--delete-files N] FOLDER\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir home;
    const QByteArray base = home.path().toLocal8Bit();
    ::setenv("XDG_CONFIG_HOME", (base + "/config").constData(), 1);
    ::setenv("XDG_DATA_HOME", (base + "/data").constData(), 1);
    ::setenv("XDG_CACHE_HOME", (base + "/cache").constData(), 1);

    std::string folder;
    std::string scanBinary;
    int deleteFiles = 100000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scan") == 0 && i + 1 < argc) {
            scanBinary = argv[++i];
        } else if (std::strcmp(argv[i], "--delete-files") == 0 && i + 1 < argc) {
            deleteFiles = std::atoi(argv[++i]);
        } else if (argv[i][0] == '-') {
            return usage();
        } else {
            folder = argv[i];
        }
    }
    if (folder.empty()) return usage();
    if (scanBinary.empty()) {
        std::string self = argv[0];
        const size_t slash = self.find_last_of('/');
        scanBinary = (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + "/scan";
    }

    // The folder of files the delete phase queues, made before anything is measured.
    QTemporaryDir scratch(QStringLiteral("/tmp/sizemere-bench-delete-XXXXXX"));
    const std::string deleteRoot = scratch.path().toStdString() + "/files";
    if (deleteFiles > 0) bench::makeTrees({deleteRoot}, std::max(1, deleteFiles / 100), 100);
    // Written out, as a user's files are: removing files that never reached the disk costs
    // the file system far less.
    ::sync();
    std::printf("made %d files to delete\n", deleteFiles);
    std::fflush(stdout);

    // The reference: bench/scan on the same folder in the same run (warm cache).
    runScanBench(scanBinary, folder);
    const double scanSeconds = runScanBench(scanBinary, folder);
    std::printf("scan_s=%.3f (bench/scan)\n", scanSeconds);

    TimingApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sizemere"));
    KZAppearance::install();
    Preferences& preferences = Preferences::sharedPreferences();
    preferences.setMinFileSize(0);
    preferences.setUseTrash(false);
    preferences.setUseDeleteQueue(true);
    preferences.setHasAskedToUseDeleteQueue(true);
    // The watcher runs on the first results screen, as it does for a user.
    preferences.setSuppressFileChangeAlert(false);
    TQTheme::registerAvailableThemes();
    // Every question is answered with its first button (Delete).
    KZScopedAlertService alerts;

    QElapsedTimer clock;
    clock.start();
    StallMeter stalls;
    PaintWatcher paints;
    paints.clock = &clock;
    app.installEventFilter(&paints);

    auto wc = controller<TQMainWindowController>();
    wc->showWindow();
    wc->window()->resize(1600, 1000);
    auto* dropView = wc->window()->findChild<KZDropView*>(QStringLiteral("dropView"));
    auto* nextButton = wc->window()->findChild<KZButton*>(QStringLiteral("nextButton"));
    spinUntil([] { return false; }, 0.3);

    // Step 2: Next to the treemap on screen.
    dropView->addFilePaths({folder});
    wc->dropViewFileWasDropped(dropView);
    paints.arm();
    stalls.start();
    app.measuring = true;
    app.longestNs = 0;
    const qint64 startNs = clock.nsecsElapsed();
    nextButton->click();
    if (!spinUntil([&] { return paints.painted(); }, 600)) {
        std::fprintf(stderr, "the treemap was never drawn\n");
        return 1;
    }
    // The watcher, once the treemap shows: until it watches everything and is idle.
    TQTreemapViewController* results = wc->treemapViewController();
    auto watcherIsSetUp = [&] {
        const CDEvents* w = results ? results->rescanPrompt()->fileEventListener() : nullptr;
        return w && w->isWatchingEverything() && w->isIdle();
    };
    if (!results || !results->rescanPrompt()->fileEventListener()) {
        std::fprintf(stderr, "the results screen has no watcher\n");
        return 1;
    }
    // Quiet: nothing queued for the main thread, nothing running in the background.
    auto isQuiet = [&] {
        return watcherIsSetUp() && kz::pendingMainThreadBlocks() == 0 && kz::backgroundPool().waitForDone(0);
    };
    spinUntil(isQuiet, 600);
    const double cpuAfterTreemap = processCpuSeconds() - paints.cpuAtPaint;
    const double quietAfter = double(clock.nsecsElapsed() - paints.paintedAtNs) / 1e9;
    stalls.stop();
    app.measuring = false;
    const double scanStall = stalls.maxGapMs();
    std::printf("longest_event_ms=%.1f (%s) during the scan and until quiet\n", app.longestNs / 1e6,
                qPrintable(app.longest));
    // The same set-up again from its start (the screen's list of folders included), with
    // nothing else running, three times: the median of its whole cost, and the longest its
    // start held the main thread.
    std::vector<double> watchCpus;
    double watchStartMs = 0;
    for (int round = 0; round < 3; ++round) {
        results->rescanPrompt()->removeFileEventListener();
        spinUntil([] { return false; }, 0.5); // the old watches go in the background
        const double cpuBeforeWatch = processCpuSeconds();
        QElapsedTimer startTime;
        startTime.start();
        results->rescanPrompt()->addFileEventListener();
        watchStartMs = std::max(watchStartMs, startTime.nsecsElapsed() / 1e6);
        spinUntil(watcherIsSetUp, 600);
        watchCpus.push_back(processCpuSeconds() - cpuBeforeWatch);
    }
    std::sort(watchCpus.begin(), watchCpus.end());
    const double watchCpu = watchCpus[1];
    std::printf("cpu_after_treemap_s=%.3f quiet_after_s=%.3f watch_cpu_s=%.3f watch_start_ms=%.1f watches=%zu\n",
                cpuAfterTreemap, quietAfter, watchCpu, watchStartMs,
                results->rescanPrompt()->fileEventListener()->watchCount());
    std::fflush(stdout);
    const double scanToTreemap = double(paints.paintedAtNs - startNs) / 1e9;
    const double rss = residentMB();
    std::printf("scan_to_treemap_s=%.3f stall_during_scan_ms=%.1f rss_mb=%.0f\n", scanToTreemap, scanStall, rss);
    std::fflush(stdout);

    // Step 3: a folder of files queued and deleted through the delete sheet.
    double deleteStall = 0;
    double deleteSeconds = 0;
    long long deleted = 0;
    if (deleteFiles > 0) {
        preferences.setSuppressFileChangeAlert(true);
        wc->startAgain();
        spinUntil([] { return false; }, 0.3);
        dropView->addFilePaths({deleteRoot});
        wc->dropViewFileWasDropped(dropView);
        nextButton->click();
        if (!spinUntil(
                [&] {
                    return wc->treemapViewController() && wc->currentViewController() == wc->treemapViewController();
                },
                600)) {
            std::fprintf(stderr, "the second scan never reached the results\n");
            return 1;
        }
        spinUntil([] { return false; }, 0.3);
        KZFileList files;
        const KZFileList& result = wc->fileScanViewController()->scanResult();
        collectFiles(kz_asDirectory(result.front().get()), files);
        TQDeleteQueue::sharedInstance().addFilesToQueue(files);
        std::printf("queued=%zu\n", files.size());
        files.clear();

        stalls.reset();
        stalls.start();
        app.measuring = true;
        app.longestNs = 0;
        const qint64 t0 = clock.nsecsElapsed();
        QElapsedTimer clickTime;
        clickTime.start();
        nextButton->click(); // Finish: the queue question, Delete, the sheet
        std::printf("finish_click_ms=%.1f\n", clickTime.nsecsElapsed() / 1e6);
        if (!spinUntil([&] { return wc->isFinishedScreenShown(); }, 600)) {
            std::fprintf(stderr, "the delete sheet never finished\n");
            return 1;
        }
        stalls.stop();
        app.measuring = false;
        std::printf("longest_event_ms=%.1f (%s)\n", app.longestNs / 1e6, qPrintable(app.longest));
        deleteSeconds = double(clock.nsecsElapsed() - t0) / 1e9;
        deleteStall = stalls.maxGapMs();
        deleted = static_cast<long long>(wc->finishedViewController()->totalFreed());
        std::printf("delete_s=%.3f stall_during_delete_ms=%.1f freed_bytes=%lld\n", deleteSeconds, deleteStall,
                    deleted);
    }

    std::printf("scan_to_treemap_s=%.3f scan_s=%.3f max_stall_ms=%.1f rss_mb=%.0f cpu_after_treemap_s=%.3f "
                "watch_cpu_s=%.3f\n",
                scanToTreemap, scanSeconds, std::max(scanStall, deleteStall), rss, cpuAfterTreemap, watchCpu);
    std::fflush(stdout);
    scratch.remove();
    // Leave without tearing the windows and the tree down.
    ::_exit(0);
}
