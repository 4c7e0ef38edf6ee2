// Removes a 100,000-file tree through the deletion engine (direct removal) and an identical
// one with rm -rf, and compares the times. The trees are made of ten groups; the two sides
// take turns group by group (in the order ABBA ...) and each step includes the sync that
// writes its changes out, so a slow or busy disk weighs on both alike.
// Usage: delete [files] (a multiple of 1000; $SIZEMERE_BENCH_DIR chooses the disk).
// Last line: files=N seconds=S rm_seconds=S ratio=R

#include "BenchSupport.h"

#include "model/KZFile.h"
#include "model/TQDeletionEngine.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 100000;
    const int perFolder = 100;
    const std::string scratch = bench::makeScratch("delete");
    const std::string ours = scratch + "/engine", theirs = scratch + "/rm";
    std::printf("making two trees of %d files in %s\n", files, scratch.c_str());
    bench::makeTrees({ours, theirs}, files / perFolder, perFolder);
    ::sync();

    double seconds = 0, rmSeconds = 0;
    bool failed = false;
    auto engineStep = [&](const std::string& path) {
        KZDirectoryPtr record = KZDirectory::fileWithPath(path, true);
        bool done = false;
        const auto t = std::chrono::steady_clock::now();
        TQDeletionEngine::Options options;
        options.useTrash = false;
        TQDeletionEngine::deleteFiles(
            {record}, options, [](double) {},
            [&](const TQDeletionResult& r) {
                done = true;
                failed = failed || r.errors.has_value() || r.deletedFiles.size() != 1;
                QCoreApplication::quit();
            });
        if (!done) QCoreApplication::exec();
        ::sync();
        seconds += bench::seconds(t);
    };
    auto rmStep = [&](const std::string& path) {
        const auto t = std::chrono::steady_clock::now();
        if (bench::run({"rm", "-rf", path}) != 0) {
            std::fprintf(stderr, "rm -rf failed\n");
            failed = true;
        }
        ::sync();
        rmSeconds += bench::seconds(t);
    };
    for (int g = 0; g < 10; ++g) {
        const std::string group = "/g" + std::to_string(g);
        if (g % 2 == 0) {
            rmStep(theirs + group);
            engineStep(ours + group);
        } else {
            engineStep(ours + group);
            rmStep(theirs + group);
        }
    }
    engineStep(ours);
    rmStep(theirs);
    ::rmdir(scratch.c_str());
    if (failed) std::fprintf(stderr, "a removal failed\n");
    std::printf("files=%d seconds=%.3f rm_seconds=%.3f ratio=%.2f\n", files, seconds, rmSeconds, seconds / rmSeconds);
    return failed ? 1 : 0;
}
