// Times the serial folder walks against their peers in one run, warm cache, taking turns
// (ours first in odd rounds, the peer first in even ones) and printing the medians:
//   walk:        the deep size of TREE (the serial walker) against `du -sb TREE`;
//   fingerprint: the compressor's fingerprint of TREE (no peer);
//   copy:        SOURCE copied into a scratch folder by the copier against `cp -a`;
//   remove:      that copy removed by the remover against `rm -rf` of cp's copy.
// Usage: walks [--rounds N] TREE SOURCE ($SIZEMERE_BENCH_DIR chooses the scratch disk).
// Last line: walk_seconds=S du_seconds=S fingerprint_seconds=S copy_seconds=S cp_seconds=S
//            remove_seconds=S rm_seconds=S

#include "BenchSupport.h"

#include "model/KZCompressedArchive.h"
#include "model/KZTreeWalker.h"
#include "platform/KZItemCopier.h"
#include "platform/KZRemover.h"

#include <algorithm>
#include <cstring>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

int usage()
{
    std::fprintf(stderr, "usage: walks [--rounds N] TREE SOURCE\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = 5;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (argv[i][0] == '-')
            return usage();
        else
            args.emplace_back(argv[i]);
    }
    if (args.size() != 2) return usage();
    const std::string tree = args[0], source = kz::pathWithoutTrailingSlash(args[1]);
    const std::string name = source.substr(source.rfind('/') + 1);
    const std::string scratch = bench::makeScratch("walks");
    const std::string ours = scratch + "/ours", theirs = scratch + "/cp";
    ::mkdir(ours.c_str(), 0755);
    ::mkdir(theirs.c_str(), 0755);

    bool failed = false;
    auto fail = [&](const char* what) {
        std::fprintf(stderr, "%s failed\n", what);
        failed = true;
    };
    std::vector<double> walk, du, fingerprint, copy, cp, remove, rm;
    uint64_t size = 0;
    auto timed = [](std::vector<double>& into, auto&& step) {
        const auto t = std::chrono::steady_clock::now();
        step();
        into.push_back(bench::seconds(t));
    };
    auto oursWalk = [&] { timed(walk, [&] { size = kz::deepSizeOfFolder(tree); }); };
    auto peerWalk = [&] {
        timed(du, [&] {
            if (bench::run({"sh", "-c", "du -sb \"$0\" >/dev/null", tree}) != 0) fail("du");
        });
    };
    auto oursCopy = [&] {
        timed(copy, [&] {
            if (!kz::copyItemIntoFolder(source, ours).succeeded()) fail("the copy");
        });
    };
    auto peerCopy = [&] {
        timed(cp, [&] {
            if (bench::run({"cp", "-a", source, theirs}) != 0) fail("cp -a");
        });
    };
    auto oursRemove = [&] {
        timed(remove, [&] {
            if (!kz::removeItemAtPath(ours + "/" + name).succeeded()) fail("the removal");
        });
    };
    auto peerRemove = [&] {
        timed(rm, [&] {
            if (bench::run({"rm", "-rf", theirs + "/" + name}) != 0) fail("rm -rf");
        });
    };

    peerWalk(); // warms the cache
    du.clear();
    for (int r = 0; r < rounds && !failed; ++r) {
        const bool oursFirst = r % 2 == 0;
        if (oursFirst) oursWalk();
        peerWalk();
        if (!oursFirst) oursWalk();
        timed(fingerprint, [&] {
            if (!KZCompressedArchive::fingerprintOf(tree)) fail("the fingerprint");
        });
        if (oursFirst) oursCopy();
        peerCopy();
        if (!oursFirst) oursCopy();
        ::sync();
        if (oursFirst) oursRemove();
        peerRemove();
        if (!oursFirst) oursRemove();
        ::sync();
    }
    ::rmdir(ours.c_str());
    ::rmdir(theirs.c_str());
    ::rmdir(scratch.c_str());
    std::printf("bytes=%llu rounds=%d\n", static_cast<unsigned long long>(size), rounds);
    std::printf("walk_seconds=%.3f du_seconds=%.3f fingerprint_seconds=%.3f copy_seconds=%.3f cp_seconds=%.3f "
                "remove_seconds=%.3f rm_seconds=%.3f\n",
                median(walk), median(du), median(fingerprint), median(copy), median(cp), median(remove), median(rm));
    return failed ? 1 : 0;
}
