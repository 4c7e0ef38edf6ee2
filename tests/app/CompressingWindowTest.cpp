#include "app/TQCompressingWindowController.h"
#include "model/KZFileCompressor.h"
#include "model/KZPath.h"
#include "platform/KZDispatch.h"
#include "platform/KZFileFaults.h"
#include "platform/KZPathString.h"
#include "platform/KZTrash.h"
#include "platform/widgets/KZSound.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/Identity.h"
#include "tests/support/TestSupport.h"

#include "ui_TQCompressingWindowController.h"

#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QThreadPool>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fstream>
#include <future>
#include <random>
#include <sys/stat.h>

using kztest::exists;
using kztest::makeDir;
using kztest::makeFile;
using State = TQCompressingWindowController::State;

namespace {

struct Report {
    TQCompressingWindowController* controller;
    std::string path;
    double saved;
    bool deleted;
    bool cancelled;
    KZFileList removed;
};

// Stands in for the results screen: not owning the windows, clearing itself from them when
// it goes.
class RecordingDelegate : public TQCompressingWindowControllerDelegate {
public:
    ~RecordingDelegate() override
    {
        for (const auto& controller : watched)
            if (controller && controller->delegate() == this) controller->setDelegate(nullptr);
    }
    void watch(TQCompressingWindowController* controller)
    {
        controller->setDelegate(this);
        watched.emplace_back(controller);
    }
    void compressingDidFinishForController(TQCompressingWindowController* controller, const std::string& path,
                                           double saved, bool deleted, bool cancelled) override
    {
        reports.push_back({controller, path, saved, deleted, cancelled, controller->removedFiles()});
        controller->setDelegate(nullptr);
    }
    std::vector<Report> reports;
    std::vector<QPointer<TQCompressingWindowController>> watched;
};

// Holds the threads that wait on it until it is opened (at the latest when it goes).
class Gate {
public:
    ~Gate() { open(); }
    void wait() const { future_.wait(); }
    void open()
    {
        if (!opened_.exchange(true)) promise_.set_value();
    }

private:
    std::promise<void> promise_;
    std::shared_future<void> future_ = promise_.get_future().share();
    std::atomic<bool> opened_{false};
};

// A Trash that records what it was asked; it can refuse a path, and hold every move until
// its gate opens.
class FakeTrash : public KZTrash {
public:
    explicit FakeTrash(std::string binFolder) : bin(std::move(binFolder)) { KZTrash::setShared(this); }
    ~FakeTrash() override
    {
        gate.open();
        KZTrash::setShared(nullptr);
    }
    std::optional<KZError> trashItem(std::string_view path, const std::optional<kz::FileIdentity>&) override
    {
        ++entered;
        if (held) gate.wait();
        std::lock_guard lock(mutex);
        asked.emplace_back(path);
        if (std::string(path) == refused) return KZError::posix(EACCES, QStringLiteral("refused"));
        const std::string to = bin + "/" + std::to_string(asked.size());
        if (::rename(std::string(path).c_str(), to.c_str()) != 0) return KZError::posix(errno);
        return std::nullopt;
    }
    std::string bin;
    std::string refused;
    std::vector<std::string> asked;
    std::atomic<int> entered{0};
    bool held = false; // set before the run
    Gate gate;

private:
    std::mutex mutex;
};

// Holds every thread of the background pool until it goes.
class PoolBlock {
public:
    PoolBlock()
    {
        QThreadPool& pool = kz::backgroundPool();
        const int threads = pool.maxThreadCount();
        for (int i = 0; i < threads; ++i)
            pool.start([this, gate = gate_] {
                ++started_; // before waiting: the constructor waits for every thread to get here
                gate->wait();
            });
        EXPECT_TRUE(kztest::waitFor([&] { return started_ == threads; }));
    }
    ~PoolBlock() { gate_->open(); }

private:
    std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
    std::atomic<int> started_{0};
};

void writeFile(const std::string& path, const std::string& contents)
{
    makeFile(path); // with its folders
    std::ofstream(path, std::ios::binary) << contents;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string randomBytes(size_t n)
{
    std::mt19937 random(42);
    std::string s(n, '\0');
    for (char& c : s) c = char(random() & 0xff);
    return s;
}

// A stand-in for zip: a shell script, run the way the compressor runs zip.
std::string fakeZip(const kztest::TempDir& dir, const std::string& name, const std::string& body)
{
    const std::string path = dir / name;
    writeFile(path, "#!/bin/sh\n" + body + "\n");
    ::chmod(path.c_str(), 0755);
    return path;
}

// unzip is handed the archive under a name that survives the trip through QString.
QString archiveArgument(const std::string& archive)
{
    if (kz::isValidUtf8(archive)) return QString::fromStdString(archive);
    const std::string link = archive.substr(0, archive.rfind('/')) + "/unzip-link.zip";
    ::unlink(link.c_str());
    EXPECT_EQ(::link(archive.c_str(), link.c_str()), 0);
    return QString::fromStdString(link);
}

std::vector<std::string> entries(const std::string& archive)
{
    QProcess p;
    p.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), archiveArgument(archive)});
    p.waitForFinished(30000);
    std::vector<std::string> names;
    if (p.exitCode() != 0) return names;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
        if (!line.isEmpty()) names.push_back(kz::toStdString(line));
    std::sort(names.begin(), names.end());
    return names;
}

bool archiveIsSound(const std::string& archive)
{
    QProcess p;
    p.start(QStringLiteral("unzip"), {QStringLiteral("-tq"), archiveArgument(archive)});
    p.waitForFinished(30000);
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

void saveShot(TQCompressingWindowController* controller, const QString& name)
{
    const QImage image = controller->window()->grab().toImage();
    EXPECT_TRUE(image.save(kztest::outputFolder() + QStringLiteral("/compressing-window-") + name + ".png"));
}

KZFilePtr scanned(const std::string& path)
{
    return KZFile::fileWithPath(path, true);
}

KZFilePtr scannedFolder(const std::string& path, double size)
{
    KZDirectoryPtr folder = KZDirectory::fileWithPath(path, true);
    folder->setFileSize(size);
    return folder;
}

bool released(const QPointer<TQCompressingWindowController>& controller)
{
    return kztest::waitFor([&] { return controller.isNull(); });
}

class CompressingWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        kz::setTriTonePlayerForTesting([this] { ++chimes; });
        TQCompressingWindowController::setCompressorHookForTesting([this](KZFileCompressor& compressor) {
            compressor.setProgressIntervals(0.02, 0.02);
            if (!zipProgram.empty()) compressor.setZipProgram(zipProgram);
            if (copyHook) compressor.setCopyItemHook(copyHook);
        });
    }
    void TearDown() override
    {
        windows.reset();
        TQCompressingWindowController::setCompressorHookForTesting({});
        kz::setTriTonePlayerForTesting({});
    }

    TQCompressingWindowController* start(const KZFileList& files)
    {
        auto* controller = windows->adopt(TQCompressingWindowController::controllerWithFiles(files));
        controller->showWindow();
        delegate.watch(controller);
        return controller;
    }
    bool waitForState(TQCompressingWindowController* controller, State state)
    {
        return kztest::waitFor([&] { return controller->state() == state; });
    }
    bool waitForReports(size_t n)
    {
        return kztest::waitFor([&] { return delegate.reports.size() >= n; });
    }
    const std::vector<KZUserNotification>& notifications() const { return env.notifier.notifier.delivered; }

    kztest::ScreenTestEnvironment env;
    // The owner of the windows, as the run's ledger is in the program.
    std::unique_ptr<TQCompressionWindows> windows = std::make_unique<TQCompressionWindows>();
    RecordingDelegate delegate;
    int chimes = 0;
    std::string zipProgram;
    std::function<void(const std::string&)> copyHook;
};

} // namespace

TEST_F(CompressingWindow, ArchiveNamesAreFreeBytesWithinTheLimitAndNeverInsideAnItem)
{
    kztest::TempDir dir;
    auto destination = [](const KZFileList& files) {
        std::unique_ptr<TQCompressingWindowController> c(TQCompressingWindowController::controllerWithFiles(files));
        return c->destinationPath();
    };
    makeFile(dir / "F/report.pdf", 10);
    const KZFileList report{scanned(dir / "F/report.pdf")};
    EXPECT_EQ(destination(report), dir / "F/report.zip");
    makeFile(dir / "F/report.zip");
    EXPECT_EQ(destination(report), dir / "F/report 2.zip");
    makeDir(dir / "F/report 2.zip"); // anything at the path takes the name, a folder too
    EXPECT_EQ(destination(report), dir / "F/report 3.zip");

    // Several items: "Archive" in the folder that holds them all.
    makeFile(dir / "F/x", 1);
    makeFile(dir / "F/G/y", 1);
    EXPECT_EQ(destination({scanned(dir / "F/x"), scanned(dir / "F/G/y")}), dir / "F/Archive.zip");
    // A listed folder holding the other item: the archive goes beside it, not into it.
    EXPECT_EQ(destination({scannedFolder(dir / "F/G", 1), scanned(dir / "F/G/y")}), dir / "F/Archive.zip");

    // A leading dot is no extension; a name that is not UTF-8 keeps its bytes.
    makeFile(dir / ".profile");
    EXPECT_EQ(destination({scanned(dir / ".profile")}), dir / ".profile.zip");
    makeFile(dir / "caf\xe9.tar.gz");
    EXPECT_EQ(destination({scanned(dir / "caf\xe9.tar.gz")}), dir / "caf\xe9.tar.zip");

    // A long name is shortened at a character boundary to keep the file name within 255 bytes.
    std::string longName;
    for (int i = 0; i < 125; ++i) longName += "\xc3\xa9"; // 250 bytes
    makeFile(dir / (longName + ".txt"));
    const KZFileList longItem{scanned(dir / (longName + ".txt"))};
    EXPECT_EQ(destination(longItem), dir / (longName + ".zip"));
    makeFile(dir / (longName + ".zip"));
    const std::string second = kz_lastPathComponent(destination(longItem));
    EXPECT_LE(second.size(), 255u);
    EXPECT_TRUE(kz::isValidUtf8(second));
    EXPECT_EQ(second, longName.substr(0, 248) + " 2.zip");
}

TEST_F(CompressingWindow, CompletesWithNotificationChimeAndReportOnClose)
{
    kztest::TempDir dir;
    env.settings.preferences().setDeleteCompressedOriginal(false);
    writeFile(dir / "report.pdf", std::string(200000, 'a'));
    KZFilePtr file = scanned(dir / "report.pdf");
    QPointer<TQCompressingWindowController> c = start({file});
    EXPECT_EQ(c->compressedFilePath(), dir / "report.zip");
    EXPECT_EQ(c->window()->windowTitle(), QStringLiteral("Compressing 'report.pdf'"));
    EXPECT_EQ(c->ui()->statusLabel->text(), QStringLiteral("0 bytes of 200.0 KB"));
    ASSERT_TRUE(waitForState(c, State::Complete));

    EXPECT_EQ(entries(dir / "report.zip"), std::vector<std::string>{"report.pdf"});
    EXPECT_TRUE(archiveIsSound(dir / "report.zip"));
    EXPECT_TRUE(exists(dir / "report.pdf"));
    // Nothing left the disk: the original stays, and the archive takes room of its own.
    const double archive = TQCompressingWindowController::fileSizeForPath(dir / "report.zip");
    EXPECT_GT(archive, 0);
    EXPECT_EQ(c->totalSaved(), -archive);
    EXPECT_EQ(c->window()->windowTitle(), QStringLiteral("Compression Complete"));
    EXPECT_EQ(c->ui()->titleLabel->text(), QStringLiteral("Compression complete, you may now close this window"));
    EXPECT_EQ(c->ui()->statusLabel->text(), QStringLiteral("200.0 KB of 200.0 KB"));
    EXPECT_EQ(c->ui()->progressBar->value(), 1000);
    // Full, not grey, while the user works in another window.
    const QPalette bar = c->ui()->progressBar->palette();
    EXPECT_EQ(bar.color(QPalette::Inactive, QPalette::Highlight), bar.color(QPalette::Active, QPalette::Highlight));
    EXPECT_TRUE(c->ui()->cancelButton->isHidden());
    ASSERT_EQ(notifications().size(), 1u);
    EXPECT_EQ(notifications()[0].title, QStringLiteral("Compression Completed"));
    EXPECT_EQ(notifications()[0].subtitle, QStringLiteral("Successfully compressed report.pdf"));
    EXPECT_EQ(notifications()[0].actionButtonTitle, QStringLiteral("View"));
    EXPECT_EQ(chimes, 1);
    saveShot(c, QStringLiteral("complete"));

    // The delegate hears of it when the window closes, once; the window is then released.
    EXPECT_TRUE(delegate.reports.empty());
    EXPECT_TRUE(c->performClose());
    ASSERT_EQ(delegate.reports.size(), 1u);
    const Report& r = delegate.reports[0];
    EXPECT_EQ(r.path, dir / "report.zip");
    EXPECT_FALSE(r.cancelled);
    EXPECT_FALSE(r.deleted);
    EXPECT_EQ(r.saved, -archive);
    EXPECT_TRUE(released(c));
    EXPECT_EQ(delegate.reports.size(), 1u);
}

TEST_F(CompressingWindow, TwoItemsOfOneNameFailWithoutTouchingEither)
{
    kztest::TempDir dir;
    env.settings.preferences().setDeleteCompressedOriginal(true);
    writeFile(dir / "A/report.txt", "first");
    writeFile(dir / "B/report.txt", "second");
    QPointer<TQCompressingWindowController> c = start({scanned(dir / "A/report.txt"), scanned(dir / "B/report.txt")});
    ASSERT_TRUE(waitForState(c, State::Failed));

    EXPECT_EQ(readFile(dir / "A/report.txt"), "first");
    EXPECT_EQ(readFile(dir / "B/report.txt"), "second");
    EXPECT_FALSE(exists(dir / "Archive.zip"));
    EXPECT_EQ(c->ui()->titleLabel->text(), QStringLiteral("Could not compress, please try again."));
    EXPECT_TRUE(c->ui()->statusLabel->text().contains(QStringLiteral("report.txt")));
    EXPECT_TRUE(c->ui()->cancelButton->isHidden());
    EXPECT_EQ(c->ui()->progressBar->value(), 1000);
    EXPECT_EQ(c->window()->windowTitle(), QStringLiteral("Compressing 2 items"));
    ASSERT_EQ(notifications().size(), 1u);
    EXPECT_EQ(notifications()[0].title, QStringLiteral("Compression Completed"));
    EXPECT_EQ(notifications()[0].subtitle, QStringLiteral("Could not compress 2 files"));
    EXPECT_EQ(chimes, 1);
    saveShot(c, QStringLiteral("failed"));

    // The failed window stays until the user closes it.
    EXPECT_TRUE(delegate.reports.empty());
    EXPECT_TRUE(c->performClose());
    ASSERT_EQ(delegate.reports.size(), 1u);
    EXPECT_TRUE(delegate.reports[0].cancelled);
    EXPECT_FALSE(delegate.reports[0].deleted);
    EXPECT_EQ(delegate.reports[0].saved, 0);
    EXPECT_TRUE(released(c));
}

TEST_F(CompressingWindow, ClosingARunningWindowCancelsAndReportsOnce)
{
    kztest::TempDir dir;
    env.settings.preferences().setDeleteCompressedOriginal(true);
    // zip writes 400 kB, then works on until it is stopped.
    zipProgram = fakeZip(dir, "slow-zip", "head -c 400000 /dev/zero\nexec sleep 600");
    makeFile(dir / "big.iso", 1000000);
    makeFile(dir / "small.iso", 100000);
    QPointer<TQCompressingWindowController> big = start({scanned(dir / "big.iso")});
    QPointer<TQCompressingWindowController> small = start({scanned(dir / "small.iso")});
    TQCompressingWindowController* const bigWindow = big.data();
    TQCompressingWindowController* const smallWindow = small.data();
    // The small one's bar is full from 100 kB on: its text tells when all 400 kB are there.
    ASSERT_TRUE(kztest::waitFor([&] {
        return big->ui()->progressBar->value() == 400 && small->ui()->progressBar->value() == 1000 &&
               small->ui()->statusLabel->text().startsWith(QStringLiteral("400.0 KB"));
    }));
    EXPECT_EQ(big->state(), State::Compressing);
    EXPECT_EQ(big->ui()->progressBar->maximum(), 1000);
    EXPECT_EQ(big->ui()->statusLabel->text(), QStringLiteral("400.0 KB of 1.0 MB"));
    // An archive larger than the total shows a full bar, never more.
    EXPECT_EQ(small->ui()->statusLabel->text(), QStringLiteral("400.0 KB of 100.0 KB"));
    big->window()->activateWindow();
    kztest::waitFor([&] { return big->window()->isActiveWindow(); }, std::chrono::milliseconds(500));
    saveShot(big, QStringLiteral("compressing"));

    // The user's close: refused while the compressor stops, then the window closes by itself.
    EXPECT_FALSE(big->performClose());
    EXPECT_EQ(big->state(), State::Cancelling);
    EXPECT_EQ(big->ui()->statusLabel->text(), QStringLiteral("Cancelling.."));
    EXPECT_FALSE(big->performClose());
    ASSERT_TRUE(waitForReports(1));
    EXPECT_EQ(delegate.reports[0].controller, bigWindow);
    EXPECT_TRUE(delegate.reports[0].cancelled);
    EXPECT_FALSE(delegate.reports[0].deleted);
    EXPECT_EQ(delegate.reports[0].saved, 0);
    EXPECT_TRUE(released(big));

    // The program's close while it runs: reported at once as cancelled, and only once.
    small->window()->close();
    ASSERT_EQ(delegate.reports.size(), 2u);
    EXPECT_EQ(delegate.reports[1].controller, smallWindow);
    EXPECT_TRUE(delegate.reports[1].cancelled);
    EXPECT_TRUE(released(small));
    EXPECT_EQ(delegate.reports.size(), 2u);

    EXPECT_FALSE(exists(dir / "big.zip"));
    EXPECT_FALSE(exists(dir / "small.zip"));
    EXPECT_TRUE(exists(dir / "big.iso"));
    EXPECT_TRUE(exists(dir / "small.iso"));
    EXPECT_TRUE(notifications().empty());
    EXPECT_EQ(chimes, 0);
}

TEST_F(CompressingWindow, CancelDuringTheCopyClosesWithoutNotificationOrRemoval)
{
    kztest::TempDir dir;
    env.settings.preferences().setDeleteCompressedOriginal(true);
    auto gate = std::make_shared<Gate>();
    auto copying = std::make_shared<std::atomic<int>>(0);
    copyHook = [gate, copying](const std::string&) {
        ++*copying;
        gate->wait();
    };
    writeFile(dir / "one.txt", "1");
    writeFile(dir / "two.txt", "2");
    QPointer<TQCompressingWindowController> c = start({scanned(dir / "one.txt"), scanned(dir / "two.txt")});
    EXPECT_EQ(c->ui()->statusLabel->text(), QStringLiteral("Preparing to compress items"));
    EXPECT_EQ(c->ui()->progressBar->maximum(), 0); // indeterminate
    saveShot(c, QStringLiteral("preparing"));
    ASSERT_TRUE(kztest::waitFor([&] { return *copying > 0; }));
    ASSERT_TRUE(waitForState(c, State::Copying));
    EXPECT_TRUE(c->ui()->statusLabel->text().startsWith(QStringLiteral("Preparing to compress items: ")));

    c->ui()->cancelButton->click();
    EXPECT_EQ(c->state(), State::Cancelling);
    EXPECT_TRUE(c->window()->isVisible());
    gate->open();
    ASSERT_TRUE(waitForReports(1));
    EXPECT_TRUE(delegate.reports[0].cancelled);
    EXPECT_FALSE(delegate.reports[0].deleted);
    EXPECT_TRUE(released(c));
    EXPECT_TRUE(notifications().empty());
    EXPECT_EQ(chimes, 0);
    EXPECT_TRUE(exists(dir / "one.txt"));
    EXPECT_TRUE(exists(dir / "two.txt"));
    EXPECT_FALSE(exists(dir / "Archive.zip"));
}

TEST_F(CompressingWindow, CancelAfterZipEndedButBeforeTheArchiveIsReportedRemovesNothing)
{
    kztest::TempDir dir;
    env.settings.preferences().setDeleteCompressedOriginal(true);
    const std::string pidFile = dir / "zip.pid";
    zipProgram = fakeZip(dir, "quick-zip", "echo $$ > '" + pidFile + "'\nexec head -c 5000 /dev/zero");
    writeFile(dir / "keep.txt", "keep");
    QPointer<TQCompressingWindowController> c;
    {
        // zip ends; the archive is flushed on the background pool, which is held meanwhile.
        PoolBlock block;
        c = start({scanned(dir / "keep.txt")});
        ASSERT_TRUE(kztest::waitFor([&] { return !readFile(pidFile).empty(); }));
        const pid_t pid = std::stoi(readFile(pidFile));
        ASSERT_TRUE(kztest::waitFor([&] { return ::kill(pid, 0) != 0 && errno == ESRCH; }));
        c->cancel();
        EXPECT_EQ(c->state(), State::Cancelling);
    }
    ASSERT_TRUE(waitForReports(1));
    EXPECT_TRUE(delegate.reports[0].cancelled);
    EXPECT_FALSE(delegate.reports[0].deleted);
    EXPECT_TRUE(released(c));
    EXPECT_EQ(readFile(dir / "keep.txt"), "keep");
    EXPECT_FALSE(exists(dir / "keep.zip"));
    EXPECT_TRUE(notifications().empty());
    EXPECT_EQ(chimes, 0);
}

TEST_F(CompressingWindow, TwoWindowsCompressingItemsOfOneNameAtOnceWriteTwoArchives)
{
    kztest::TempDir dir;
    env.settings.preferences().setDeleteCompressedOriginal(false);
    writeFile(dir / "F/report.pdf", std::string(50000, 'r'));
    writeFile(dir / "F/a/x", "x");
    writeFile(dir / "F/b/y", "y");
    writeFile(dir / "F/c/x", "x2");
    writeFile(dir / "F/d/y", "y2");
    writeFile(dir / "F/r\xe9sum\xe9.txt", "cv"); // not UTF-8
    KZFilePtr report = scanned(dir / "F/report.pdf");
    QPointer<TQCompressingWindowController> first = start({report});
    QPointer<TQCompressingWindowController> second = start({report});
    QPointer<TQCompressingWindowController> third = start({scanned(dir / "F/a/x"), scanned(dir / "F/b/y")});
    QPointer<TQCompressingWindowController> fourth = start({scanned(dir / "F/c/x"), scanned(dir / "F/d/y")});
    QPointer<TQCompressingWindowController> fifth = start({scanned(dir / "F/r\xe9sum\xe9.txt")});
    EXPECT_EQ(first->compressedFilePath(), dir / "F/report.zip");
    EXPECT_EQ(second->compressedFilePath(), dir / "F/report 2.zip");
    EXPECT_EQ(third->compressedFilePath(), dir / "F/Archive.zip");
    EXPECT_EQ(fourth->compressedFilePath(), dir / "F/Archive 2.zip");
    EXPECT_EQ(fifth->compressedFilePath(), dir / "F/r\xe9sum\xe9.zip");
    for (const auto& c : {first, second, third, fourth, fifth}) ASSERT_TRUE(waitForState(c, State::Complete));

    EXPECT_EQ(entries(dir / "F/report.zip"), std::vector<std::string>{"report.pdf"});
    EXPECT_EQ(entries(dir / "F/report 2.zip"), std::vector<std::string>{"report.pdf"});
    EXPECT_EQ(entries(dir / "F/Archive.zip"), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(entries(dir / "F/Archive 2.zip"), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(entries(dir / "F/r\xe9sum\xe9.zip"), std::vector<std::string>{"r\xe9sum\xe9.txt"});
    for (const char* name : {"report.zip", "report 2.zip", "Archive.zip", "Archive 2.zip", "r\xe9sum\xe9.zip"})
        EXPECT_TRUE(archiveIsSound(dir / (std::string("F/") + name))) << name;
    EXPECT_EQ(chimes, 5);

    // Names are held while their windows live, and free again once they are gone.
    for (const auto& c : {first, second, third, fourth, fifth}) EXPECT_TRUE(c->performClose());
    for (const auto& c : {first, second, third, fourth, fifth}) EXPECT_TRUE(released(c));
    ::unlink((dir / "F/report 2.zip").c_str());
    std::unique_ptr<TQCompressingWindowController> next(TQCompressingWindowController::controllerWithFiles({report}));
    EXPECT_EQ(next->destinationPath(), dir / "F/report 2.zip");
}

TEST_F(CompressingWindow, RemovalOfTheOriginalsReadsTheSettingOnceAndRefusesCancelAndClose)
{
    kztest::TempDir dir;
    makeDir(dir / "bin");
    FakeTrash trash(dir / "bin");
    trash.held = true;
    env.settings.preferences().setDeleteCompressedOriginal(true);
    writeFile(dir / "F/notes.txt", std::string(30000, 'n'));
    writeFile(dir / "F/photos/a.raw", std::string(30000, 'p'));
    KZFilePtr notes = scanned(dir / "F/notes.txt");
    KZFilePtr photos = scannedFolder(dir / "F/photos", 30000);
    QPointer<TQCompressingWindowController> c = start({notes, photos});
    // Turning the setting off now doesn't change this window.
    env.settings.preferences().setDeleteCompressedOriginal(false);
    ASSERT_TRUE(waitForState(c, State::Deleting));
    ASSERT_TRUE(kztest::waitFor([&] { return trash.entered > 0; }));

    EXPECT_EQ(c->ui()->titleLabel->text(), QStringLiteral("Deleting 2 files"));
    EXPECT_EQ(c->window()->windowTitle(), QStringLiteral("Deleting 2 files"));
    EXPECT_TRUE(c->ui()->statusLabel->isHidden());
    EXPECT_FALSE(c->ui()->cancelButton->isEnabled());
    saveShot(c, QStringLiteral("deleting"));
    // Neither Cancel nor the user's close is taken while the originals go; a close by the
    // program is reported once they have gone.
    c->cancel();
    EXPECT_EQ(c->state(), State::Deleting);
    EXPECT_FALSE(c->performClose());
    EXPECT_TRUE(c->window()->isVisible());
    c->window()->close();
    EXPECT_TRUE(delegate.reports.empty());
    EXPECT_TRUE(notifications().empty());

    trash.gate.open();
    ASSERT_TRUE(waitForReports(1));
    EXPECT_TRUE(delegate.reports[0].deleted);
    EXPECT_FALSE(delegate.reports[0].cancelled);
    EXPECT_GT(delegate.reports[0].saved, 0);
    EXPECT_FALSE(exists(dir / "F/notes.txt"));
    EXPECT_FALSE(exists(dir / "F/photos"));
    EXPECT_EQ(trash.asked.size(), 2u);
    EXPECT_EQ(entries(dir / "F/Archive.zip"), (std::vector<std::string>{"notes.txt", "photos/", "photos/a.raw"}));
    EXPECT_TRUE(archiveIsSound(dir / "F/Archive.zip"));
    ASSERT_EQ(notifications().size(), 1u);
    EXPECT_EQ(notifications()[0].subtitle, QStringLiteral("Successfully compressed 2 files"));
    EXPECT_EQ(chimes, 1);
    EXPECT_TRUE(released(c));
    EXPECT_EQ(delegate.reports[0].removed.size(), 2u);
}

TEST_F(CompressingWindow, NetworkItemsAreRemovedDirectlyAndTheWindowCompletesOnce)
{
    kztest::TempDir dir;
    makeDir(dir / "bin");
    FakeTrash trash(dir / "bin");
    env.settings.preferences().setDeleteCompressedOriginal(true);
    writeFile(dir / "share/one.txt", "1");
    writeFile(dir / "share/two.txt", "2");
    KZFilePtr one = scanned(dir / "share/one.txt");
    KZFilePtr two = scanned(dir / "share/two.txt");
    one->setIsNetworkItem(true);
    two->setIsNetworkItem(true);
    QPointer<TQCompressingWindowController> c = start({one, two});
    ASSERT_TRUE(waitForState(c, State::Complete));
    EXPECT_TRUE(c->originalDeleted());
    EXPECT_TRUE(trash.asked.empty());
    EXPECT_FALSE(exists(dir / "share/one.txt"));
    EXPECT_FALSE(exists(dir / "share/two.txt"));
    EXPECT_EQ(entries(dir / "share/Archive.zip"), (std::vector<std::string>{"one.txt", "two.txt"}));
    c->performClose();
    ASSERT_TRUE(released(c));
    EXPECT_EQ(notifications().size(), 1u);
    EXPECT_EQ(chimes, 1);
    ASSERT_EQ(delegate.reports.size(), 1u);
    EXPECT_TRUE(delegate.reports[0].deleted);
}

TEST_F(CompressingWindow, OriginalDeletedOnlyWhenEveryOriginalIsGone)
{
    kztest::TempDir dir;
    makeDir(dir / "bin");
    FakeTrash trash(dir / "bin");
    env.settings.preferences().setDeleteCompressedOriginal(true);
    writeFile(dir / "goes.txt", "goes");
    writeFile(dir / "locked.txt", "locked");
    writeFile(dir / "changed.txt", "old");
    KZFilePtr goes = scanned(dir / "goes.txt");
    KZFilePtr locked = scanned(dir / "locked.txt");
    KZFilePtr changed = scanned(dir / "changed.txt");
    trash.refused = dir / "locked.txt";
    // Another file now stands where the scanned one was.
    writeFile(dir / "other", "new");
    ::rename((dir / "other").c_str(), (dir / "changed.txt").c_str());

    QPointer<TQCompressingWindowController> c = start({goes, locked, changed});
    ASSERT_TRUE(waitForState(c, State::Complete));
    EXPECT_FALSE(c->originalDeleted());
    ASSERT_EQ(c->removedFiles().size(), 1u);
    EXPECT_EQ(c->removedFiles()[0].get(), goes.get());
    EXPECT_FALSE(exists(dir / "goes.txt"));
    EXPECT_EQ(readFile(dir / "locked.txt"), "locked");
    EXPECT_EQ(readFile(dir / "changed.txt"), "new");
    EXPECT_TRUE(archiveIsSound(dir / "Archive.zip"));
    // The window names what stayed, and why.
    EXPECT_EQ(c->ui()->statusLabel->text(), QStringLiteral("2 originals were not removed:\n"
                                                           "changed.txt: The item was changed since the scan.\n"
                                                           "locked.txt: refused: Permission denied"))
        << c->ui()->statusLabel->text().toStdString();
    c->performClose();
    ASSERT_EQ(delegate.reports.size(), 1u);
    EXPECT_FALSE(delegate.reports[0].deleted);
    EXPECT_FALSE(delegate.reports[0].cancelled);
    ASSERT_EQ(delegate.reports[0].removed.size(), 1u);
}

TEST_F(CompressingWindow, ARunningWindowOutlivesItsDelegate)
{
    kztest::TempDir dir;
    zipProgram = fakeZip(dir, "slow-zip", "head -c 1000 /dev/zero\nexec sleep 600");
    makeFile(dir / "item", 5000);
    QPointer<TQCompressingWindowController> c;
    {
        RecordingDelegate screen;
        c = windows->adopt(TQCompressingWindowController::controllerWithFiles({scanned(dir / "item")}));
        c->showWindow();
        screen.watch(c);
        ASSERT_TRUE(waitForState(c, State::Compressing));
    } // the screen goes; the window runs on, held by its owner
    ASSERT_FALSE(c.isNull());
    EXPECT_EQ(c->delegate(), nullptr);
    EXPECT_EQ(windows->controllers(), std::vector<TQCompressingWindowController*>{c.data()});
    EXPECT_FALSE(c->performClose());
    EXPECT_TRUE(released(c));
    EXPECT_TRUE(windows->controllers().empty());
    EXPECT_FALSE(exists(dir / "item.zip"));
}

TEST_F(CompressingWindow, AnOwnerThatGoesStopsItsRunningWindowsUnheardAndRemovesWhatTheyHalfMade)
{
    kztest::TempDir dir;
    zipProgram = fakeZip(dir, "slow-zip", "head -c 1000 /dev/zero\nexec sleep 600");
    makeFile(dir / "item", 5000);
    QPointer<TQCompressingWindowController> c = start({scanned(dir / "item")});
    ASSERT_TRUE(waitForState(c, State::Compressing));
    ASSERT_TRUE(kztest::waitFor([&] { return exists(dir / "item.zip"); }));
    // A controller nobody took is its maker's alone.
    auto loose = TQCompressingWindowController::controllerWithFiles({scanned(dir / "item")});
    EXPECT_EQ(windows->controllers(), std::vector<TQCompressingWindowController*>{c.data()});

    windows.reset(); // the program ends
    EXPECT_TRUE(c.isNull());
    EXPECT_TRUE(delegate.reports.empty());
    EXPECT_FALSE(exists(dir / "item.zip"));
    EXPECT_TRUE(exists(dir / "item"));
    EXPECT_TRUE(loose->destinationPath() == dir / "item.zip") << "its name is free again";
}

TEST_F(CompressingWindow, AnArchiveDeletedOrReplacedWhileZipRunsFailsAndEveryOriginalStays)
{
    kztest::TempDir dir;
    makeDir(dir / "bin");
    FakeTrash trash(dir / "bin");
    env.settings.preferences().setDeleteCompressedOriginal(true);
    writeFile(dir / "F/one.txt", "one");
    writeFile(dir / "F/two.txt", "two");
    const std::string go = dir / "go";
    // zip writes part of the archive, waits, then ends well.
    zipProgram =
        fakeZip(dir, "waiting-zip", "head -c 3000 /dev/zero\nwhile [ ! -e '" + go + "' ]; do sleep 0.01; done\nexit 0");
    for (const std::string how : {"deleted", "replaced"}) {
        SCOPED_TRACE(how);
        ::unlink(go.c_str());
        QPointer<TQCompressingWindowController> c = start({scanned(dir / "F/one.txt"), scanned(dir / "F/two.txt")});
        const std::string archive = c->compressedFilePath();
        ASSERT_TRUE(kztest::waitFor([&] { return TQCompressingWindowController::fileSizeForPath(archive) == 3000; }));
        // The half-written archive, seen in the treemap and deleted there, or another
        // program's file moved into its place.
        if (how == "deleted") {
            ASSERT_EQ(::unlink(archive.c_str()), 0);
        } else {
            writeFile(dir / "theirs", "theirs");
            ASSERT_EQ(::rename((dir / "theirs").c_str(), archive.c_str()), 0);
        }
        makeFile(go);
        ASSERT_TRUE(waitForState(c, State::Failed));

        EXPECT_TRUE(trash.asked.empty());
        EXPECT_EQ(readFile(dir / "F/one.txt"), "one");
        EXPECT_EQ(readFile(dir / "F/two.txt"), "two");
        EXPECT_EQ(c->ui()->titleLabel->text(), QStringLiteral("Could not compress, please try again."));
        const QString why =
            how == "deleted" ? QStringLiteral("is no longer there.") : QStringLiteral("was replaced by another item.");
        EXPECT_EQ(c->ui()->statusLabel->text(),
                  QStringLiteral("The archive \"%1\" %2\nNone of the originals was removed.")
                      .arg(QString::fromStdString(archive), why));
        EXPECT_FALSE(c->ui()->statusLabel->isHidden());
        EXPECT_EQ(notifications().back().subtitle, QStringLiteral("Could not compress 2 files"));
        if (how == "deleted") {
            EXPECT_FALSE(exists(archive));
            saveShot(c, QStringLiteral("failed-archive-gone"));
        } else {
            EXPECT_EQ(readFile(archive), "theirs");
            ::unlink(archive.c_str());
        }
        EXPECT_TRUE(c->performClose());
        ASSERT_EQ(delegate.reports.size(), how == "deleted" ? 1u : 2u);
        EXPECT_TRUE(delegate.reports.back().cancelled);
        EXPECT_FALSE(delegate.reports.back().deleted);
        EXPECT_EQ(delegate.reports.back().saved, 0);
        EXPECT_TRUE(delegate.reports.back().removed.empty());
        EXPECT_TRUE(released(c));
    }
}

TEST_F(CompressingWindow, AnOriginalChangedAfterItWasReadStaysAndTheWindowNamesIt)
{
    kztest::TempDir dir;
    makeDir(dir / "bin");
    FakeTrash trash(dir / "bin");
    env.settings.preferences().setDeleteCompressedOriginal(true);
    writeFile(dir / "F/notes.txt", std::string(30000, 'n'));
    writeFile(dir / "F/photos/a.raw", std::string(30000, 'p'));
    writeFile(dir / "F/same.txt", std::string(30000, 's'));
    KZFilePtr notes = scanned(dir / "F/notes.txt");
    KZFilePtr photos = scannedFolder(dir / "F/photos", 30000);
    KZFilePtr same = scanned(dir / "F/same.txt");
    // Once zip has written the archive: a line added to one original, a new file in another.
    kztest::ScopedFaultHook faults([&](kz::FileOperation op, const std::string&) {
        if (op == kz::FileOperation::Flush) {
            std::ofstream(dir / "F/notes.txt", std::ios::app) << "one more line";
            writeFile(dir / "F/photos/b.raw", "new");
        }
        return 0;
    });
    QPointer<TQCompressingWindowController> c = start({notes, photos, same});
    ASSERT_TRUE(waitForState(c, State::Complete));

    EXPECT_FALSE(c->originalDeleted());
    ASSERT_EQ(c->removedFiles().size(), 1u);
    EXPECT_EQ(c->removedFiles()[0].get(), same.get());
    EXPECT_EQ(trash.asked, std::vector<std::string>{dir / "F/same.txt"});
    EXPECT_TRUE(exists(dir / "F/notes.txt"));
    EXPECT_TRUE(exists(dir / "F/photos/b.raw"));
    ASSERT_EQ(c->stayedFiles().size(), 2u);
    EXPECT_EQ(c->stayedFiles().count(notes->path()), 1u);
    EXPECT_EQ(c->stayedFiles().count(photos->path()), 1u);
    EXPECT_EQ(c->ui()->titleLabel->text(), QStringLiteral("Compression complete, you may now close this window"));
    EXPECT_FALSE(c->ui()->statusLabel->isHidden());
    EXPECT_EQ(c->ui()->statusLabel->text(), QStringLiteral("2 originals were not removed:\n"
                                                           "notes.txt: It changed after it was compressed.\n"
                                                           "photos: It changed after it was compressed."));
    saveShot(c, QStringLiteral("stayed"));
    // Only what went counts, less the archive.
    const double archive = TQCompressingWindowController::fileSizeForPath(dir / "F/Archive.zip");
    EXPECT_EQ(c->totalSaved(), 30000 - archive);
    c->performClose();
    ASSERT_EQ(delegate.reports.size(), 1u);
    EXPECT_FALSE(delegate.reports[0].cancelled);
    EXPECT_FALSE(delegate.reports[0].deleted);
}

TEST_F(CompressingWindow, TheSavingIsWhatTheRemovalFreedLessTheArchive)
{
    kztest::TempDir dir;
    makeDir(dir / "bin");
    FakeTrash trash(dir / "bin");
    env.settings.preferences().setDeleteCompressedOriginal(true);
    auto complete = [&](const KZFileList& files) {
        QPointer<TQCompressingWindowController> c = start(files);
        EXPECT_TRUE(waitForState(c, State::Complete));
        return c;
    };

    // A folder whose record still counts a file deleted after the scan: only what is in it counts.
    writeFile(dir / "A/kept.txt", std::string(30000, 'a'));
    QPointer<TQCompressingWindowController> c = complete({scannedFolder(dir / "A", 1000000)});
    EXPECT_TRUE(c->originalDeleted());
    EXPECT_EQ(c->totalSaved(), 30000 - TQCompressingWindowController::fileSizeForPath(dir / "A.zip"));
    EXPECT_GT(c->totalSaved(), 0);

    // A log emptied after the scan: nothing of its old size left the disk, and the archive
    // (of an empty file) is there instead.
    writeFile(dir / "B/app.log", std::string(200000, 'l'));
    KZFilePtr log = scanned(dir / "B/app.log");
    ::truncate((dir / "B/app.log").c_str(), 0);
    c = complete({log});
    EXPECT_TRUE(c->originalDeleted());
    EXPECT_EQ(c->totalSaved(), -TQCompressingWindowController::fileSizeForPath(dir / "B/app.zip"));
    EXPECT_LT(c->totalSaved(), 0);

    // Contents that don't compress: the archive is larger than what went.
    writeFile(dir / "N/noise.bin", randomBytes(100));
    writeFile(dir / "N/empty", "");
    c = complete({scanned(dir / "N/noise.bin"), scanned(dir / "N/empty")});
    EXPECT_TRUE(c->originalDeleted());
    const double noiseArchive = TQCompressingWindowController::fileSizeForPath(dir / "N/Archive.zip");
    EXPECT_GT(noiseArchive, 100);
    EXPECT_EQ(c->totalSaved(), 100 - noiseArchive);
    EXPECT_EQ(notifications().back().subtitle, QStringLiteral("Successfully compressed 2 files"));

    // An item deleted elsewhere while its compression runs: gone already, it frees nothing here.
    writeFile(dir / "C/big.txt", std::string(200000, 'b'));
    KZFilePtr big = scanned(dir / "C/big.txt");
    {
        kztest::ScopedFaultHook faults([&](kz::FileOperation op, const std::string&) {
            if (op == kz::FileOperation::Flush) ::unlink((dir / "C/big.txt").c_str());
            return 0;
        });
        c = complete({big});
    }
    EXPECT_TRUE(c->originalDeleted());
    ASSERT_EQ(c->removedFiles().size(), 1u);
    EXPECT_EQ(c->totalSaved(), -TQCompressingWindowController::fileSizeForPath(dir / "C/big.zip"));
    const size_t asked = trash.asked.size();
    EXPECT_EQ(asked, 4u); // A, the log and the two of N

    // The archive goes while the originals are being removed: the first was on its way, the
    // other stays and is named. What went counts, less the archive as it was written.
    writeFile(dir / "D/first.txt", std::string(50000, 'f'));
    writeFile(dir / "D/second.txt", std::string(50000, 's'));
    trash.held = true;
    c = start({scanned(dir / "D/first.txt"), scanned(dir / "D/second.txt")});
    ASSERT_TRUE(kztest::waitFor([&] { return trash.entered > int(asked); }));
    const double written = TQCompressingWindowController::fileSizeForPath(dir / "D/Archive.zip");
    ASSERT_GT(written, 0);
    ASSERT_EQ(::unlink((dir / "D/Archive.zip").c_str()), 0);
    trash.gate.open();
    ASSERT_TRUE(waitForState(c, State::Complete));
    EXPECT_FALSE(exists(dir / "D/first.txt"));
    EXPECT_TRUE(exists(dir / "D/second.txt"));
    EXPECT_FALSE(c->originalDeleted());
    EXPECT_EQ(c->totalSaved(), 50000 - written);
    EXPECT_EQ(c->ui()->statusLabel->text(),
              QStringLiteral("This original was not removed:\nsecond.txt: The archive \"%1\" is no longer there.")
                  .arg(QString::fromStdString(dir / "D/Archive.zip")));
}

TEST_F(CompressingWindow, OriginalsTheIgnoreListProtectsStayAndAreNamed)
{
    kztest::TempDir dir;
    makeDir(dir / "bin");
    FakeTrash trash(dir / "bin");
    env.settings.preferences().setDeleteCompressedOriginal(true);
    writeFile(dir / "F/keep/inside.txt", "inside");
    writeFile(dir / "F/goes.txt", "goes");
    KZFilePtr keep = scannedFolder(dir / "F/keep", 6);
    KZIgnoreList list;
    list.setUnremovablePaths(KZIgnoreList::PathList{dir / "F/keep"});
    QPointer<TQCompressingWindowController> c =
        windows->adopt(TQCompressingWindowController::controllerWithFiles({keep, scanned(dir / "F/goes.txt")}));
    c->setIgnoreList(list);
    c->showWindow();
    delegate.watch(c);
    ASSERT_TRUE(waitForState(c, State::Complete));
    EXPECT_EQ(trash.asked, std::vector<std::string>{dir / "F/goes.txt"});
    EXPECT_TRUE(exists(dir / "F/keep/inside.txt"));
    EXPECT_FALSE(c->originalDeleted());
    EXPECT_EQ(c->ui()->statusLabel->text(), QStringLiteral("This original was not removed:\n"
                                                           "keep: This item may never be removed."));
}

TEST_F(CompressingWindow, AnOriginalWrittenAnewAfterTheScanStaysThoughTheArchiveHoldsIt)
{
    // Another program deleted the scanned file and wrote a new one, which got the old inode
    // number, before the compression read it: the archive holds the new file and the file is
    // as the compressor read it, but it is not the item that was scanned, so it stays.
    for (auto fs : {kztest::IdentityFileSystem::WithBirthTimes, kztest::IdentityFileSystem::WithHandlesOnly,
                    kztest::IdentityFileSystem::WithNeither}) {
        SCOPED_TRACE(kztest::nameOf(fs));
        kztest::ScopedIdentityLimits limits(kztest::limitsFor(fs));
        kztest::TempDir dir;
        makeDir(dir / "bin");
        FakeTrash trash(dir / "bin"); // takes whatever it is asked to: the engine alone decides
        env.settings.preferences().setDeleteCompressedOriginal(true);
        writeFile(dir / "F/report.txt", std::string(3000, 'r'));
        KZFilePtr report = scanned(dir / "F/report.txt");
        report->setIdentity(kztest::scannedIdentityOfAFileWrittenAnew(dir / "F/report.txt", 5000));

        QPointer<TQCompressingWindowController> c = start({report});
        ASSERT_TRUE(waitForState(c, State::Complete));
        EXPECT_TRUE(trash.asked.empty());
        EXPECT_EQ(QFile(QString::fromStdString(dir / "F/report.txt")).size(), 5000);
        EXPECT_FALSE(c->originalDeleted());
        EXPECT_TRUE(c->removedFiles().empty());
        EXPECT_EQ(c->totalSaved(), -TQCompressingWindowController::fileSizeForPath(dir / "F/report.zip"));
        EXPECT_EQ(c->ui()->statusLabel->text(), QStringLiteral("This original was not removed:\n"
                                                               "report.txt: The item was changed since the scan."));
        EXPECT_EQ(entries(dir / "F/report.zip"), std::vector<std::string>{"report.txt"});
        c->performClose();
        EXPECT_TRUE(released(c));
    }
}

TEST_F(CompressingWindow, AnArchiveThatDoesNotReadBackWholeFailsAndEveryOriginalStays)
{
    kztest::TempDir dir;
    makeDir(dir / "bin");
    FakeTrash trash(dir / "bin");
    env.settings.preferences().setDeleteCompressedOriginal(true);
    const std::string photo = randomBytes(60000);
    writeFile(dir / "F/photos/a.raw", photo);
    writeFile(dir / "F/notes.txt", "notes");
    const std::string archive = dir / "F/Archive.zip";
    // zip writes the archive, then another program writes into it in place, keeping its size,
    // and puts its modification time back.
    zipProgram = fakeZip(dir, "rewriting-zip",
                         "/usr/bin/zip \"$@\" || exit $?\n"
                         "touch -r '" +
                             archive + "' '" + dir / "time" +
                             "'\n"
                             "printf 'XXXXXXXX' | dd of='" +
                             archive +
                             "' bs=1 seek=30000 conv=notrunc 2>/dev/null\n"
                             "touch -r '" +
                             dir / "time" + "' '" + archive + "'");
    QPointer<TQCompressingWindowController> c =
        start({scannedFolder(dir / "F/photos", 60000), scanned(dir / "F/notes.txt")});
    ASSERT_TRUE(waitForState(c, State::Failed));

    EXPECT_TRUE(trash.asked.empty());
    EXPECT_EQ(readFile(dir / "F/photos/a.raw"), photo);
    EXPECT_EQ(readFile(dir / "F/notes.txt"), "notes");
    EXPECT_FALSE(exists(archive));
    EXPECT_EQ(c->ui()->titleLabel->text(), QStringLiteral("Could not compress, please try again."));
    const QString status = c->ui()->statusLabel->text();
    EXPECT_TRUE(
        status.startsWith(QStringLiteral("The archive \"%1\" does not read back whole: the member \"photos/a.raw\"")
                              .arg(QString::fromStdString(archive))))
        << status.toStdString();
    EXPECT_TRUE(status.endsWith(QStringLiteral(".\nNone of the originals was removed."))) << status.toStdString();
    EXPECT_EQ(notifications().back().subtitle, QStringLiteral("Could not compress 2 files"));
    saveShot(c, QStringLiteral("failed-read-back"));
    EXPECT_TRUE(c->performClose());
    ASSERT_EQ(delegate.reports.size(), 1u);
    EXPECT_TRUE(delegate.reports[0].cancelled);
    EXPECT_FALSE(delegate.reports[0].deleted);
    EXPECT_TRUE(delegate.reports[0].removed.empty());
}

TEST_F(CompressingWindow, ASourceThatCanNotBeReadCompletelyKeepsEveryOriginal)
{
    kztest::TempDir dir;
    makeDir(dir / "bin");
    FakeTrash trash(dir / "bin");
    env.settings.preferences().setDeleteCompressedOriginal(true);
    writeFile(dir / "F/A/top.txt", "top");
    writeFile(dir / "F/A/locked/secret.txt", "secret");
    writeFile(dir / "F/B.txt", "b");
    // A folder inside one of the items refuses to be read when the copy for the archive gets there.
    kztest::ScopedFaultHook faults([&](kz::FileOperation op, const std::string& path) {
        const bool reading = op == kz::FileOperation::Read || op == kz::FileOperation::Search;
        return reading && path == dir / "F/A/locked" ? EACCES : 0;
    });
    QPointer<TQCompressingWindowController> c = start({scannedFolder(dir / "F/A", 9), scanned(dir / "F/B.txt")});
    ASSERT_TRUE(waitForState(c, State::Failed));

    EXPECT_TRUE(trash.asked.empty());
    EXPECT_EQ(readFile(dir / "F/A/top.txt"), "top");
    EXPECT_EQ(readFile(dir / "F/A/locked/secret.txt"), "secret");
    EXPECT_EQ(readFile(dir / "F/B.txt"), "b");
    EXPECT_FALSE(exists(dir / "F/Archive.zip"));
    EXPECT_EQ(c->ui()->statusLabel->text(),
              QStringLiteral("Could not copy \"%1\": %2\nNone of the originals was removed.")
                  .arg(QString::fromStdString(dir / "F/A/locked"), QString::fromLocal8Bit(std::strerror(EACCES))));
    EXPECT_TRUE(c->removedFiles().empty());
    EXPECT_FALSE(c->originalDeleted());
    saveShot(c, QStringLiteral("failed-unreadable"));
    c->performClose();
    ASSERT_EQ(delegate.reports.size(), 1u);
    EXPECT_TRUE(delegate.reports[0].cancelled);
}
