// Scans one folder with the real KZFileScanner (background threads, coalesced reports, the
// main thread's event loop) and prints what the finished tree holds, how long the scan took
// and how much resident memory the tree added per record:
//   scan [--min-size BYTES] [--threads N] FOLDER
//   ... items=N records=N bytes=N seconds=S rss_bytes_per_record=B
#include "model/KZFile.h"
#include "model/KZFileScanner.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

long long residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

long long countRecords(const KZDirectory* root)
{
    long long count = 0;
    std::vector<const KZDirectory*> stack{root};
    while (!stack.empty()) {
        const KZDirectory* d = stack.back();
        stack.pop_back();
        ++count;
        for (const KZFile* child : d->children()) {
            if (const KZDirectory* sub = kz_asDirectory(child))
                stack.push_back(sub);
            else
                ++count;
        }
    }
    return count;
}

int usage()
{
    std::fprintf(stderr, "usage: scan [--min-size BYTES] [--threads N] FOLDER\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    double minimum = 50000; // the setting's default
    unsigned threads = 0;   // one per CPU the process may run on
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--min-size") == 0 && i + 1 < argc) {
            minimum = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
            char* end = nullptr;
            const long n = std::strtol(argv[++i], &end, 10);
            if (!end || *end || n < 0 || n > 1024) return usage();
            threads = unsigned(n);
        } else if (argv[i][0] == '-') {
            return usage();
        } else {
            folder = argv[i];
        }
    }
    if (folder.empty()) return usage();

    const long long before = residentBytes();
    KZDirectoryPtr root;
    qint64 items = 0;
    long long reports = 0;
    double seconds = 0;
    QElapsedTimer timer;

    auto scanner = KZFileScanner::scannerWithPaths({folder}, minimum);
    scanner->setThreadCount(threads);
    scanner->setProgressBlock([&](qint64 count) {
        items = count;
        ++reports;
    });
    scanner->setCompletionBlock([&](const KZFileList& files) {
        seconds = double(timer.nsecsElapsed()) / 1e9;
        root = kz_asDirectory(files.front());
        QCoreApplication::quit();
    });
    scanner->setFailureBlock([&](const QString& error) {
        std::fprintf(stderr, "scan: %s\n", qPrintable(error));
        QCoreApplication::exit(1);
    });
    scanner->setCancelledBlock([] { QCoreApplication::exit(1); });
    timer.start();
    scanner->start();
    if (app.exec() != 0 || !root) return 1;
    scanner.reset();

    const long long after = residentBytes();
    const long long records = countRecords(root.get());
    std::printf("reports=%lld\n", reports);
    std::printf("items=%lld records=%lld bytes=%.0f seconds=%.3f rss_bytes_per_record=%.1f\n", (long long)items,
                records, root->fileSize(), seconds, records ? double(after - before) / double(records) : 0.0);
    // Leave without freeing the tree, as the peers it is compared with do.
    std::fflush(stdout);
    ::_exit(0);
}
