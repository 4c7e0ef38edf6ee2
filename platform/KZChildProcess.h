#pragma once
// A child process for the program's helpers (the zip compressor): started with byte-string
// arguments (names that are not UTF-8 pass unchanged), in a chosen working folder, with its
// standard output written to a descriptor the caller opened. Its end is reported by
// `finished` on the thread that started it, through a process descriptor watched by the
// event loop. Destroying the object kills a child that still runs and reaps it.

#include <QObject>

#include <memory>
#include <string>
#include <vector>

#include <sys/types.h>

class QSocketNotifier;

class KZChildProcess : public QObject {
    Q_OBJECT
public:
    struct Options {
        std::string program;                // absolute path of the executable
        std::vector<std::string> arguments; // without the program name
        std::string workingDirectory;       // "" keeps the current one
        int standardOutput = -1;            // descriptor for the child's standard output; -1: /dev/null
    };

    explicit KZChildProcess(QObject* parent = nullptr);
    ~KZChildProcess() override;

    // Starts the child; 0, or the errno value why it could not start (a missing program
    // gives ENOENT).
    int start(const Options& options);
    bool isRunning() const { return pid_ > 0; }
    pid_t processIdentifier() const { return pid_; }
    // Asks the child to end (SIGTERM), or ends it at once (SIGKILL).
    void terminate();
    void kill();

Q_SIGNALS:
    // The child ended: its exit status, or the signal that ended it (then exitStatus is -1).
    void finished(int exitStatus, int signal);

private:
    void reap(bool wait);

    pid_t pid_ = -1;
    int pidFd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};
