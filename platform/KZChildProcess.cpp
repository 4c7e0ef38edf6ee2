#include "platform/KZChildProcess.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

KZChildProcess::KZChildProcess(QObject* parent) : QObject(parent) {}

KZChildProcess::~KZChildProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        reap(true);
    }
}

int KZChildProcess::start(const Options& options)
{
    if (pid_ > 0) return EBUSY;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(options.program.c_str()));
    for (const std::string& a : options.arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (options.standardOutput >= 0) {
        posix_spawn_file_actions_adddup2(&actions, options.standardOutput, STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    // Nothing else of ours leaks into the child.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    if (!options.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The child starts with default signal handling and an empty signal mask.
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = -1;
    const int err = ::posix_spawn(&pid, options.program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (err != 0) return err;
    pid_ = pid;
    pidFd_ = int(::syscall(SYS_pidfd_open, pid, 0));
    if (pidFd_ >= 0) {
        ::fcntl(pidFd_, F_SETFD, FD_CLOEXEC);
        notifier_ = std::make_unique<QSocketNotifier>(pidFd_, QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { reap(false); });
    } else {
        ::kill(pid, SIGKILL);
        reap(true);
        return EAGAIN;
    }
    return 0;
}

void KZChildProcess::terminate()
{
    if (pid_ > 0) ::kill(pid_, SIGTERM);
}

void KZChildProcess::kill()
{
    if (pid_ > 0) ::kill(pid_, SIGKILL);
}

void KZChildProcess::reap(bool wait)
{
    if (pid_ <= 0) return;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid_, &status, wait ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0) return; // still running
    notifier_.reset();
    if (pidFd_ >= 0) ::close(pidFd_);
    pidFd_ = -1;
    pid_ = -1;
    if (wait) return; // from the destructor or a failed start: nobody to tell
    if (r < 0) {
        Q_EMIT finished(-1, 0);
    } else if (WIFSIGNALED(status)) {
        Q_EMIT finished(-1, WTERMSIG(status));
    } else {
        Q_EMIT finished(WEXITSTATUS(status), 0);
    }
}
