#include "tests/support/TestSupport.h"

#include "model/KZTreeWalker.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
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

QString outputFolder()
{
    QString dir = qEnvironmentVariable("SIZEMERE_TEST_OUTPUT");
    if (dir.isEmpty()) dir = QStringLiteral(SIZEMERE_TEST_OUTPUT_DIR);
    QDir().mkpath(dir);
    return dir;
}

} // namespace kztest
