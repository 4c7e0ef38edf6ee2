// Moves the files of one folder to the Trash through the deletion engine, and the same number
// of others with gio trash, each side into a Trash of its own under a scratch XDG_DATA_HOME.
// The files go in ten groups; the two sides take turns group by group (in the order ABBA ...),
// and each step includes the sync that writes its changes out, so a slow or busy disk weighs
// on both alike. gio gets its paths in as few calls as the system's argument limit allows.
// Usage: trash [files] (default 10,000; $SIZEMERE_BENCH_DIR chooses the disk).
// Last line: files=N seconds=S gio_seconds=S ratio=R work_seconds=S gio_work_seconds=S
// work_ratio=R gio_calls=N (work_: the same without the syncs, which a busy disk makes noisy).

#include "BenchSupport.h"

#include "model/KZFile.h"
#include "model/TQDeletionEngine.h"
#include "platform/KZFreedesktopTrash.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace {

// Two folders of the same files, made a file at a time in turn.
void makeFlatFolders(const std::string& a, const std::string& b, int files)
{
    ::mkdir(a.c_str(), 0755);
    ::mkdir(b.c_str(), 0755);
    const int fa = ::open(a.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int fb = ::open(b.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int f = 0; f < files; ++f) {
        const std::string name = "file" + std::to_string(f) + ".dat";
        bench::makeFile(fa, name.c_str());
        bench::makeFile(fb, name.c_str());
    }
    ::close(fa);
    ::close(fb);
}

std::string fileName(const std::string& folder, int f)
{
    return folder + "/file" + std::to_string(f) + ".dat";
}

// Bytes of arguments one call may take: a quarter of the system's limit, which the
// environment shares.
size_t argumentBudget()
{
    const long max = ::sysconf(_SC_ARG_MAX);
    return max > 0 ? size_t(max) / 4 : 32768;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? std::max(10, std::atoi(argv[1])) : 10000;
    const std::string scratch = bench::makeScratch("trash");
    const std::string ours = scratch + "/engine", theirs = scratch + "/gio";
    const std::string ourData = scratch + "/data-engine", theirData = scratch + "/data-gio";
    std::printf("making two folders of %d files in %s\n", files, scratch.c_str());
    makeFlatFolders(ours, theirs, files);
    ::sync();

    KZFreedesktopTrash trash;
    double seconds = 0, gioSeconds = 0;
    double work = 0, gioWork = 0; // the same without the syncs
    int gioCalls = 0;
    bool failed = false, gioFailed = false;
    auto engineStep = [&](int from, int to) {
        ::setenv("XDG_DATA_HOME", ourData.c_str(), 1);
        // Records as the scanner would make them.
        KZFileList records;
        records.reserve(size_t(to - from));
        for (int f = from; f < to; ++f) records.push_back(KZFile::fileWithPath(fileName(ours, f), true));
        TQDeletionEngine::Options options;
        options.useTrash = true;
        options.trash = &trash;
        bool done = false;
        const auto t = std::chrono::steady_clock::now();
        TQDeletionEngine::deleteFiles(
            records, options, [](double) {},
            [&](const TQDeletionResult& r) {
                done = true;
                failed = failed || r.errors.has_value() || r.deletedFiles.size() != records.size();
                QCoreApplication::quit();
            });
        if (!done) QCoreApplication::exec();
        work += bench::seconds(t);
        ::sync();
        seconds += bench::seconds(t);
    };
    auto gioStep = [&](int from, int to) {
        ::setenv("XDG_DATA_HOME", theirData.c_str(), 1);
        const size_t budget = argumentBudget();
        const auto t = std::chrono::steady_clock::now();
        for (int f = from; f < to;) {
            std::vector<std::string> call{"gio", "trash"};
            size_t bytes = 64;
            for (; f < to; ++f) {
                std::string path = fileName(theirs, f);
                const size_t cost = path.size() + 1 + sizeof(char*);
                if (call.size() > 2 && bytes + cost > budget) break;
                bytes += cost;
                call.push_back(std::move(path));
            }
            ++gioCalls;
            if (const int status = bench::run(call); status != 0) {
                std::fprintf(stderr, "gio trash failed (%d)\n", status);
                gioFailed = true;
            }
        }
        gioWork += bench::seconds(t);
        ::sync();
        gioSeconds += bench::seconds(t);
    };
    const int groups = 10;
    for (int g = 0; g < groups; ++g) {
        const int from = int(int64_t(files) * g / groups), to = int(int64_t(files) * (g + 1) / groups);
        if ((g + 1) % 4 < 2) { // A B B A A B B A ...
            engineStep(from, to);
            gioStep(from, to);
        } else {
            gioStep(from, to);
            engineStep(from, to);
        }
    }

    bench::run({"rm", "-rf", scratch});
    if (failed) std::fprintf(stderr, "the engine reported a failure\n");
    if (gioFailed) gioSeconds = gioWork = NAN;
    std::printf("files=%d seconds=%.3f gio_seconds=%.3f ratio=%.2f work_seconds=%.3f gio_work_seconds=%.3f "
                "work_ratio=%.2f gio_calls=%d\n",
                files, seconds, gioSeconds, seconds / gioSeconds, work, gioWork, work / gioWork, gioCalls);
    return failed ? 1 : 0;
}
