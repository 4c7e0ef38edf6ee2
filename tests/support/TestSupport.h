#pragma once
// Helpers for tests that work on real files in temporary folders.

#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
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
// Spins the event loop for the given time.
void spin(std::chrono::milliseconds duration);
// The folder for images and other output a person may look at after the tests.
QString outputFolder();

} // namespace kztest
