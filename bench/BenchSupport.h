#pragma once
// Small helpers shared by the benchmarks: making trees of files fast, timing, and running a
// command to compare with.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace bench {

inline double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A file of a few bytes.
inline void makeFile(int dirFd, const char* name)
{
    const int fd = ::openat(dirFd, name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::perror(name);
        std::exit(1);
    }
    static const char data[64] = "sizemere benchmark file\n";
    if (::write(fd, data, sizeof data) < 0) std::perror("write");
    ::close(fd);
}

// Group g of a tree: folders g, g + 10, ... below `folders`, of `perFolder` files each.
inline void makeTreeGroup(const std::string& root, int g, int folders, int perFolder)
{
    ::mkdir(root.c_str(), 0755);
    const std::string group = root + "/g" + std::to_string(g);
    ::mkdir(group.c_str(), 0755);
    for (int d = g; d < folders; d += 10) {
        const std::string folder = group + "/d" + std::to_string(d);
        ::mkdir(folder.c_str(), 0755);
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int f = 0; f < perFolder; ++f) makeFile(fd, ("file" + std::to_string(f) + ".dat").c_str());
        ::close(fd);
    }
}

// Identical trees of `folders` folders of `perFolder` files each, in ten top-level groups,
// made a group at a time in turn so that no tree gets the better places on the disk.
inline void makeTrees(const std::vector<std::string>& roots, int folders, int perFolder)
{
    for (int g = 0; g < 10; ++g)
        for (const std::string& root : roots) makeTreeGroup(root, g, folders, perFolder);
}

// Runs the program with the arguments; answers its exit status (-1 when it could not run).
inline int run(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid;
    if (::posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A fresh folder under $SIZEMERE_BENCH_DIR (default /tmp).
inline std::string makeScratch(const char* what)
{
    const char* base = std::getenv("SIZEMERE_BENCH_DIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/sizemere-bench-" + what + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    return pattern;
}

} // namespace bench
