#include "tests/support/TestSupport.h"

#include "model/KZTreeWalker.h"
#include "platform/KZDispatch.h"
#include "platform/KZUserDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kztest {

TempDir::TempDir() : dir_(QDir::tempPath() + QStringLiteral("/sizemere-test-XXXXXX"))
{
    if (!dir_.isValid()) throw std::runtime_error("no temporary folder");
    path_ = QFile::encodeName(dir_.path()).toStdString();
    dir_.setAutoRemove(false);
}

TempDir::~TempDir()
{
    removeTree(path_);
}

void removeTree(const std::string& path)
{
    // QTemporaryDir decodes names lossily and would leave names that are not UTF-8 behind.
    kz::TreeWalkCallbacks cb;
    cb.visit = [](const kz::WalkEntry& e) {
        if (!S_ISDIR(e.st.stx_mode)) ::unlinkat(e.parentFd, e.name, 0);
        return kz::WalkAction::Continue;
    };
    cb.leave = [](const kz::WalkEntry& e) {
        ::unlinkat(e.parentFd, e.name, AT_REMOVEDIR);
        return kz::WalkAction::Continue;
    };
    kz::TreeWalkOptions options;
    options.stayOnDevice = true;
    kz::walkTree(path, cb, options);
    ::rmdir(path.c_str());
}

static void makeParents(const std::string& path)
{
    for (size_t i = 1; i < path.size(); ++i) {
        if (path[i] != '/') continue;
        const std::string prefix = path.substr(0, i);
        ::mkdir(prefix.c_str(), 0755);
    }
}

void makeFile(const std::string& path, long long size)
{
    makeParents(path);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("makeFile " + path + ": " + std::strerror(errno));
    if (size > 0 && ::ftruncate(fd, size) != 0) {
        ::close(fd);
        throw std::runtime_error("truncate " + path);
    }
    ::close(fd);
}

void makeDir(const std::string& path)
{
    makeParents(path + "/");
}

void makeSymlink(const std::string& target, const std::string& linkPath)
{
    makeParents(linkPath);
    if (::symlink(target.c_str(), linkPath.c_str()) != 0)
        throw std::runtime_error("symlink " + linkPath + ": " + std::strerror(errno));
}

bool exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

size_t watcherEventQueueLength()
{
    size_t n = 0;
    std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> n;
    return n;
}

void makeFolderOfEmptyFiles(const std::string& path, size_t count)
{
    makeDir(path);
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("open " + path + ": " + std::strerror(errno));
    for (size_t i = 0; i < count; ++i) {
        const int file = ::openat(fd, ("f" + std::to_string(i)).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (file >= 0) ::close(file);
    }
    ::close(fd);
}

struct UnlinkGate::State {
    std::string folder;
    std::atomic<bool> reached{false};
    std::atomic<bool> released{false};
};

UnlinkGate::UnlinkGate(std::string folder) : state_(std::make_shared<State>())
{
    state_->folder = std::move(folder) + "/";
    kz::setFileFaultHook([state = state_](kz::FileOperation op, const std::string& path) {
        if (op == kz::FileOperation::Unlink && path.rfind(state->folder, 0) == 0 && !state->reached.exchange(true))
            while (!state->released) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 0;
    });
}

UnlinkGate::~UnlinkGate()
{
    release();
    kz::setFileFaultHook({});
}

bool UnlinkGate::waitUntilReached(std::chrono::milliseconds timeout) const
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!state_->reached) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void UnlinkGate::release()
{
    state_->released = true;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeout.count()) return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qSleep(1);
    }
    return true;
}

void spin(std::chrono::milliseconds duration)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < duration.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qSleep(1);
    }
}

void drainBackgroundWork(std::chrono::milliseconds timeout)
{
    QElapsedTimer timer;
    timer.start();
    QThreadPool& pool = kz::backgroundPool();
    for (;;) {
        const int left = int(std::max<qint64>(0, timeout.count() - timer.elapsed()));
        if (!pool.waitForDone(left)) {
            ADD_FAILURE() << "background work still running after " << timeout.count() << " ms";
            return;
        }
        // The blocks queued for the main thread, in order; they may queue more of either kind.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (kz::pendingMainThreadBlocks() == 0 && pool.waitForDone(0)) return;
        if (timer.elapsed() > timeout.count()) {
            ADD_FAILURE() << "the main queue was not drained after " << timeout.count() << " ms";
            return;
        }
        if (kz::pendingMainThreadBlocks() > 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

int openDescriptorCount()
{
    DIR* folder = ::opendir("/proc/self/fd");
    if (!folder) return -1;
    int count = 0;
    while (const dirent* entry = ::readdir(folder))
        if (entry->d_name[0] != '.') ++count;
    ::closedir(folder);
    return count - 1; // the listing's own descriptor
}

ScopedEnvironment::ScopedEnvironment(std::string name, const std::optional<std::string>& value) : name_(std::move(name))
{
    if (const char* v = std::getenv(name_.c_str())) saved_ = v;
    if (value) {
        ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (saved_) {
        ::setenv(name_.c_str(), saved_->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

ScopedHome::ScopedHome(const std::string& home) : environment_("HOME", home)
{
    kz::setHomeDirectoryForTesting(home);
}

ScopedHome::~ScopedHome()
{
    kz::setHomeDirectoryForTesting({});
}

QString outputFolder()
{
    QString dir = qEnvironmentVariable("SIZEMERE_TEST_OUTPUT");
    if (dir.isEmpty()) dir = QStringLiteral(SIZEMERE_TEST_OUTPUT_DIR);
    QDir().mkpath(dir);
    return dir;
}

} // namespace kztest
