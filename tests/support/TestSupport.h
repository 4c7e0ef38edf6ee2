#pragma once
// Helpers for tests that work on real files in temporary folders, wait for background work,
// fake the system's refusals and point the home folder elsewhere.

#include "platform/KZFileFaults.h"

#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kztest {

// A temporary folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    // The folder's path without a final "/".
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

private:
    QTemporaryDir dir_;
    std::string path_;
};

// Removes a folder and everything in it (names that are not UTF-8 included), never following
// a link.
void removeTree(const std::string& path);
// Creates a file of the given logical size (sparse), making missing parent folders.
void makeFile(const std::string& path, long long size = 0);
void makeDir(const std::string& path);
void makeSymlink(const std::string& target, const std::string& linkPath);
bool exists(const std::string& path); // lstat
// Spins the event loop until the condition holds or the timeout passes; returns the condition.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(10));
// Spins the event loop for the given time. Never to assert that nothing happened: see
// drainBackgroundWork.
void spin(std::chrono::milliseconds duration);
// Waits until the background pool is idle and the main thread has run every block queued
// before and because of it (deferred deletions included), however they chain. What a test
// asserts after it can't be changed by a late delivery. Fails the test after the timeout.
void drainBackgroundWork(std::chrono::milliseconds timeout = std::chrono::seconds(60));
// The folder for images and other output a person may look at after the tests.
QString outputFolder();

// The number of descriptors the process has open (the entries of /proc/self/fd).
int openDescriptorCount();

// The most events the system queues for one file-system watcher before it drops them (0
// when it can't be read).
size_t watcherEventQueueLength();
// Makes a folder of `count` empty files (f0, f1, ...), quickly.
void makeFolderOfEmptyFiles(const std::string& path, size_t count);

// Stops the program's removals (through the file fault hook, for the life of the object) at
// their first unlink below `folder`, until released; the removing thread waits there.
class UnlinkGate {
public:
    explicit UnlinkGate(std::string folder);
    ~UnlinkGate();
    UnlinkGate(const UnlinkGate&) = delete;
    UnlinkGate& operator=(const UnlinkGate&) = delete;
    // Waits, without running the event loop (the thread stays busy), until a removal stands
    // at the gate; false after the timeout.
    bool waitUntilReached(std::chrono::milliseconds timeout = std::chrono::seconds(60)) const;
    void release();

private:
    struct State;
    std::shared_ptr<State> state_;
};

// Installs a file fault hook (platform/KZFileFaults) for the life of the object.
class ScopedFaultHook {
public:
    explicit ScopedFaultHook(kz::FileFaultHook hook) { kz::setFileFaultHook(std::move(hook)); }
    ~ScopedFaultHook() { kz::setFileFaultHook({}); }
    ScopedFaultHook(const ScopedFaultHook&) = delete;
    ScopedFaultHook& operator=(const ScopedFaultHook&) = delete;
};

// Sets an environment variable (or unsets it, with nullopt) for the life of the object.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::optional<std::string>& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> saved_;
};

// Makes a folder the process user's home for the life of the object: the user database's
// answer and $HOME both name it (it need not exist: "/srv/users/ann").
class ScopedHome {
public:
    explicit ScopedHome(const std::string& home);
    ~ScopedHome();
    ScopedHome(const ScopedHome&) = delete;
    ScopedHome& operator=(const ScopedHome&) = delete;

private:
    ScopedEnvironment environment_;
};

} // namespace kztest
