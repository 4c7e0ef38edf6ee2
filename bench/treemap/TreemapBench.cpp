// Times the treemap's work for one frame of a scanned folder: building the node lists of the
// root, the layout, and painting into a 1600x1000 image; then the node lists of a synthetic
// folder of 100,000 direct children (files, and empty folders). item_tree_ms: the nesting of
// the laid-out items that the keyboard and assistive technology move through.
//
//   bench_treemap [--min-size BYTES] [--runs N] [--png FILE] FOLDER
//
// --png writes the last painted frame to FILE, to look at.
//
// Prints key=value figures; the last line holds lists_ms, layout_ms, paint_ms and rects.
#include "model/KZFile.h"
#include "model/KZFileScanner.h"
#include "treemap/KZTreemapColorRule.h"
#include "treemap/KZTreemapLayout.h"
#include "treemap/KZTreemapNodeLists.h"
#include "treemap/KZTreemapPainter.h"
#include "treemap/TQTheme.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

// The tree of a folder as the scanner makes it.
KZDirectoryPtr scanFolder(const std::string& path, double minimumSize, qint64& entries)
{
    KZDirectoryPtr root;
    QEventLoop loop;
    auto scanner = KZFileScanner::scannerWithPaths({path}, minimumSize);
    scanner->setProgressBlock([&](qint64 count) { entries = count; });
    scanner->setCompletionBlock([&](const KZFileList& files) {
        if (!files.empty()) root = kz_asDirectory(files.front());
        loop.quit();
    });
    scanner->setFailureBlock([&](const QString&) { loop.quit(); });
    scanner->setCancelledBlock([&] { loop.quit(); });
    scanner->start();
    loop.exec();
    if (root) root->fileSize();
    return root;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double timeMs(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    std::string folder;
    double minimumSize = 0;
    int runs = 10;
    QString png;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--min-size" && i + 1 < argc) {
            minimumSize = std::atof(argv[++i]);
        } else if (arg == "--png" && i + 1 < argc) {
            png = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            folder = arg;
        }
    }
    if (folder.empty()) {
        std::fprintf(stderr, "usage: bench_treemap [--min-size BYTES] [--runs N] [--png FILE] FOLDER\n");
        return 2;
    }
    TQTheme::registerAvailableThemes();
    const auto theme = TQTheme::themeWithName(QStringLiteral("Blue Skies"));

    qint64 entries = 0;
    KZDirectoryPtr root;
    const double scanMs = timeMs([&] { root = scanFolder(folder, minimumSize, entries); });
    if (!root) {
        std::fprintf(stderr, "could not scan %s\n", folder.c_str());
        return 1;
    }

    KZTreemapNodeLists lists;
    lists.setDirectory(root);
    lists.setMinimumFileSize([minimumSize] { return minimumSize; });
    const QRectF bounds(0, 0, 1600, 1000);
    const auto settings = KZTreemapLayoutSettings::atRest();

    std::vector<double> listTimes, firstLayoutTimes, layoutTimes, paintTimes, itemTreeTimes;
    std::vector<KZTreemapDrawItem> items;
    KZTreemapPainter painter;
    QImage image(1600, 1000, QImage::Format_ARGB32_Premultiplied);
    const KZTreemapPainter::ColorProvider colors = [&](const KZTreemapNode& node, double percent, bool selected,
                                                       bool reloading, int64_t depth) {
        return KZTreemapColorRule::colorForNode(node, percent, selected, reloading, depth, *theme, true);
    };
    for (int run = 0; run < runs; ++run) {
        lists.removeAllLists();
        listTimes.push_back(timeMs([&] { lists.storeList(root.get(), *lists.dataForDirectory(root.get())); }));
        // The first layout also builds the lists of every folder it enters.
        firstLayoutTimes.push_back(
            timeMs([&] { items = KZTreemapLayout::layout(lists, root.get(), bounds, settings); }));
        layoutTimes.push_back(timeMs([&] { items = KZTreemapLayout::layout(lists, root.get(), bounds, settings); }));
        image.fill(Qt::black);
        paintTimes.push_back(timeMs([&] {
            QPainter p(&image);
            painter.paint(p, items, colors);
        }));
        // The nesting the keyboard and assistive technology move through, built once a layout.
        itemTreeTimes.push_back(timeMs([&] { KZTreemapItemTree tree(items); }));
    }
    if (!png.isEmpty()) image.save(png);

    // A folder of 100,000 direct children: files of varied sizes, then empty folders.
    auto big = KZDirectory::fileWithPath("/synthetic");
    for (int i = 0; i < 100000; ++i) {
        KZFilePtr f = KZFile::childWithName(big.get(), "file" + std::to_string(i));
        f->setFileSize(double((i * 7919) % 100000 + 1));
        big->addChild(f.get());
    }
    auto empties = KZDirectory::fileWithPath("/synthetic-empty");
    for (int i = 0; i < 100000; ++i) {
        KZDirectoryPtr d = KZDirectory::childWithName(empties.get(), "dir" + std::to_string(i));
        empties->addChild(d.get());
    }
    std::vector<double> bigTimes, emptyTimes;
    KZTreemapNodeLists bigLists;
    bigLists.setMinimumFileSize([] { return 0.0; });
    for (int run = 0; run < runs; ++run) {
        bigLists.setDirectory(big);
        bigTimes.push_back(timeMs([&] { bigLists.dataForDirectory(big.get()); }));
        bigLists.setDirectory(empties);
        emptyTimes.push_back(timeMs([&] { bigLists.dataForDirectory(empties.get()); }));
    }

    std::printf("entries=%lld scan_ms=%.1f runs=%d first_layout_ms=%.2f lists100k_ms=%.2f lists100k_empty_ms=%.2f "
                "item_tree_ms=%.3f\n",
                static_cast<long long>(entries), scanMs, runs, median(firstLayoutTimes), median(bigTimes),
                median(emptyTimes), median(itemTreeTimes));
    std::printf("lists_ms=%.2f layout_ms=%.2f paint_ms=%.2f rects=%zu\n", median(listTimes), median(layoutTimes),
                median(paintTimes), items.size());
    return 0;
}
