// Moves 10,000 files of one folder to the Trash through the deletion engine, and 10,000
// others with gio trash, each into a Trash of its own under a scratch XDG_DATA_HOME. Each
// side's time includes the sync that writes its changes out.
// Usage: trash [files]. Last line: files=N seconds=S gio_seconds=S ratio=R

#include "BenchSupport.h"

#include "model/KZFile.h"
#include "model/TQDeletionEngine.h"
#include "platform/KZFreedesktopTrash.h"

#include <QCoreApplication>

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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const std::string scratch = bench::makeScratch("trash");
    std::printf("making two folders of %d files in %s\n", files, scratch.c_str());
    makeFlatFolders(scratch + "/engine", scratch + "/gio", files);
    ::sync();

    // The engine, with records as the scanner would make them.
    ::setenv("XDG_DATA_HOME", (scratch + "/data-engine").c_str(), 1);
    KZFileList records;
    records.reserve(size_t(files));
    for (int f = 0; f < files; ++f)
        records.push_back(KZFile::fileWithPath(scratch + "/engine/file" + std::to_string(f) + ".dat", true));
    KZFreedesktopTrash trash;
    TQDeletionEngine::Options options;
    options.useTrash = true;
    options.trash = &trash;
    bool done = false, failed = false;
    auto t0 = std::chrono::steady_clock::now();
    TQDeletionEngine::deleteFiles(
        records, options, [](double) {},
        [&](const TQDeletionResult& r) {
            done = true;
            failed = r.errors.has_value() || r.deletedFiles.size() != size_t(files);
            QCoreApplication::quit();
        });
    if (!done) QCoreApplication::exec();
    ::sync();
    const double seconds = bench::seconds(t0);

    // gio trash, in one process for all the files.
    ::setenv("XDG_DATA_HOME", (scratch + "/data-gio").c_str(), 1);
    std::vector<std::string> argvGio{"gio", "trash"};
    for (int f = 0; f < files; ++f) argvGio.push_back(scratch + "/gio/file" + std::to_string(f) + ".dat");
    t0 = std::chrono::steady_clock::now();
    const int status = bench::run(argvGio);
    ::sync();
    const double gioSeconds = status == 0 ? bench::seconds(t0) : NAN;
    if (status != 0) std::fprintf(stderr, "gio trash failed (%d)\n", status);

    bench::run({"rm", "-rf", scratch});
    if (failed) std::fprintf(stderr, "the engine reported a failure\n");
    std::printf("files=%d seconds=%.3f gio_seconds=%.3f ratio=%.2f\n", files, seconds, gioSeconds,
                seconds / gioSeconds);
    return failed ? 1 : 0;
}
