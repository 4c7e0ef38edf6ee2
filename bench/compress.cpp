// What reading the archive back costs a compression: a folder of about 1 GB compressed by the
// compressor (zip, the flush, then the archive read back whole before it completes), zip alone
// run the way the compressor runs it (with the flush), and the read-back alone on the archive
// the compressor made against `unzip -tqq` on it, in turns (the compressor first in odd
// rounds), warm cache, medians.
// The folder: files of 5 MB, half text-like (it deflates to about a third), half random bytes.
// Usage: compress [--rounds N] [--megabytes M] ($SIZEMERE_BENCH_DIR chooses the disk).
// Last line: bytes=B seconds=S zip_seconds=S check_seconds=S unzip_test_seconds=S overhead=R
//   (seconds: with the read-back; zip_seconds: without it; overhead: seconds / zip_seconds)

#include "BenchSupport.h"

#include "model/KZCompressedArchive.h"
#include "model/KZFileCompressor.h"
#include "platform/KZRemover.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <random>

namespace {

constexpr size_t kFileSize = size_t(5) << 20;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void writeAll(const std::string& path, const std::string& data)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, data.data(), data.size()) != ssize_t(data.size())) {
        std::perror(path.c_str());
        std::exit(1);
    }
    ::close(fd);
}

// Words of a small vocabulary in random order, lines of about 70 characters.
std::string textLike(std::mt19937& random)
{
    static const std::vector<std::string> vocabulary = [] {
        std::mt19937 r(1);
        std::vector<std::string> words;
        for (int i = 0; i < 4000; ++i) {
            std::string w(3 + r() % 9, 'a');
            for (char& c : w) c = char('a' + r() % 26);
            words.push_back(w);
        }
        return words;
    }();
    std::string s;
    s.reserve(kFileSize + 64);
    size_t line = 0;
    while (s.size() < kFileSize) {
        const std::string& w = vocabulary[random() % vocabulary.size()];
        s += w;
        line += w.size() + 1;
        s += line > 70 ? '\n' : ' ';
        if (line > 70) line = 0;
    }
    s.resize(kFileSize);
    return s;
}

std::string randomBytes(std::mt19937& random)
{
    std::string s(kFileSize, '\0');
    for (size_t i = 0; i + 4 <= s.size(); i += 4) {
        const uint32_t v = random();
        std::memcpy(&s[i], &v, 4);
    }
    return s;
}

uint64_t sizeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

int usage()
{
    std::fprintf(stderr, "usage: compress [--rounds N] [--megabytes M]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int rounds = 3;
    long megabytes = 1000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--megabytes") == 0 && i + 1 < argc)
            megabytes = std::max(10L, std::atol(argv[++i]));
        else
            return usage();
    }
    const std::string scratch = bench::makeScratch("compress");
    const std::string source = scratch + "/data";
    ::mkdir(source.c_str(), 0755);
    const size_t files = size_t(megabytes) * 1000000 / kFileSize;
    std::printf("making %zu files of 5 MB in %s\n", files, source.c_str());
    std::fflush(stdout);
    std::mt19937 random(42);
    for (size_t i = 0; i < files; ++i)
        writeAll(source + "/file" + std::to_string(i) + (i % 2 ? ".bin" : ".txt"),
                 i % 2 ? randomBytes(random) : textLike(random));
    ::sync();
    const uint64_t bytes = files * kFileSize;

    bool failed = false;
    std::vector<double> withCheck, zipAlone, checkAlone, unzipTest;
    const std::string ours = scratch + "/ours.zip", theirs = scratch + "/zip.zip";
    auto compressorStep = [&] {
        ::unlink(ours.c_str());
        auto compressor = KZFileCompressor::compressorWithSourcePaths({source}, ours);
        bool done = false;
        compressor->setCompletionBlock([&] {
            done = true;
            QCoreApplication::quit();
        });
        compressor->setFailedBlock([&](const std::optional<KZError>& error, bool) {
            std::fprintf(stderr, "the compression failed: %s\n",
                         error ? error->localizedDescription().toLocal8Bit().constData() : "");
            failed = done = true;
            QCoreApplication::quit();
        });
        const auto t = std::chrono::steady_clock::now();
        compressor->compress();
        if (!done) QCoreApplication::exec();
        withCheck.push_back(bench::seconds(t));
        if (compressor->archive()) compressor->archive()->releaseHold();
    };
    auto zipStep = [&] {
        ::unlink(theirs.c_str());
        const auto t = std::chrono::steady_clock::now();
        if (bench::run({"sh", "-c", "cd '" + scratch + "' && zip -q -y -nw -MM -r - data > '" + theirs + "'"}) != 0) {
            std::fprintf(stderr, "zip failed\n");
            failed = true;
        }
        const int fd = ::open(theirs.c_str(), O_RDONLY | O_CLOEXEC);
        ::fsync(fd);
        ::close(fd);
        zipAlone.push_back(bench::seconds(t));
    };
    auto checkStep = [&] {
        KZCompressedArchive::Contents expected;
        const std::vector<KZCompressedArchive::Source> sources{
            {source, KZCompressedArchive::fingerprintOf(source, std::nullopt, nullptr, &expected)}};
        const int fd = ::open(ours.c_str(), O_RDONLY | O_CLOEXEC);
        const auto t = std::chrono::steady_clock::now();
        const KZCompressedArchive::ReadBack r =
            KZCompressedArchive::readBack(fd, ours, expected, sources, std::nullopt, nullptr);
        checkAlone.push_back(bench::seconds(t));
        ::close(fd);
        if (r.error) {
            std::fprintf(stderr, "the read-back failed: %s\n",
                         r.error->localizedDescription().toLocal8Bit().constData());
            failed = true;
        }
    };
    auto unzipStep = [&] {
        const auto t = std::chrono::steady_clock::now();
        if (bench::run({"unzip", "-tqq", ours}) != 0) {
            std::fprintf(stderr, "unzip -t failed\n");
            failed = true;
        }
        unzipTest.push_back(bench::seconds(t));
    };
    for (int round = 1; round <= rounds && !failed; ++round) {
        if (round % 2) {
            compressorStep();
            zipStep();
        } else {
            zipStep();
            compressorStep();
        }
        if (round % 2) {
            checkStep();
            unzipStep();
        } else {
            unzipStep();
            checkStep();
        }
        std::printf("round %d: compressor %.2f s, zip %.2f s, read-back %.2f s, unzip -t %.2f s (archive %.0f MB)\n",
                    round, withCheck.back(), zipAlone.back(), checkAlone.back(), unzipTest.back(), sizeOf(ours) / 1e6);
        std::fflush(stdout);
    }
    kz::removeItemAtPath(scratch);
    const double seconds = median(withCheck), zipSeconds = median(zipAlone);
    std::printf("bytes=%llu seconds=%.3f zip_seconds=%.3f check_seconds=%.3f unzip_test_seconds=%.3f overhead=%.3f\n",
                (unsigned long long)bytes, seconds, zipSeconds, median(checkAlone), median(unzipTest),
                zipSeconds > 0 ? seconds / zipSeconds : 0);
    return failed ? 1 : 0;
}
