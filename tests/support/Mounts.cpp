#include "tests/support/Mounts.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kztest {

namespace {

constexpr const char* kInNamespace = "SIZEMERE_TEST_IN_NAMESPACE";
constexpr const char* kReportFile = "SIZEMERE_TEST_NAMESPACE_REPORT";

// The unshare options that give this process private mount namespaces here, found once by
// trying them; empty with the refusal when none works.
struct Namespaces {
    QStringList options;
    std::string refusal;
};

const Namespaces& namespaces()
{
    static const Namespaces found = [] {
        Namespaces n;
        std::vector<QStringList> candidates;
        // Root keeps its own user namespace (proc can be mounted there); anyone else gets one
        // in which it is root, with a PID namespace of its own, since a proc file system can
        // only be mounted by the user namespace that owns the PID namespace it shows. Where
        // that is refused, the mount namespace alone still serves the tmpfs and bind mounts.
        if (::geteuid() == 0) candidates.push_back({"--mount", "--propagation", "private"});
        candidates.push_back({"--user", "--map-root-user", "--pid", "--fork", "--mount", "--propagation", "private"});
        candidates.push_back({"--user", "--map-root-user", "--mount", "--propagation", "private"});
        for (const QStringList& options : candidates) {
            QProcess probe;
            probe.start(QStringLiteral("unshare"), options + QStringList{QStringLiteral("true")});
            const bool started = probe.waitForStarted(10000);
            if (started && probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit &&
                probe.exitCode() == 0) {
                n.options = options;
                n.refusal.clear();
                return n;
            }
            const QByteArray said = probe.readAllStandardError().trimmed();
            n.refusal = "unshare " + options.join(' ').toStdString() + ": " +
                        (started ? (said.isEmpty() ? std::string("refused") : said.toStdString())
                                 : std::string("not available"));
        }
        return n;
    }();
    return found;
}

std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string unescaped(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out.push_back(text[i]);
            continue;
        }
        const char c = text[++i];
        out.push_back(c == 'n' ? '\n' : c == 't' ? '\t' : c);
    }
    return out;
}

// In the child: every result of the test, one line each, for the parent to report.
class ReportWriter : public ::testing::EmptyTestEventListener {
public:
    explicit ReportWriter(std::string path) : path_(std::move(path)) {}
    void OnTestPartResult(const ::testing::TestPartResult& result) override
    {
        const char* kind = result.skipped() ? "skip" : result.failed() ? "fail" : nullptr;
        if (!kind) return;
        std::ofstream out(path_, std::ios::app);
        out << kind << '\t' << escaped(result.file_name() ? result.file_name() : "") << '\t' << result.line_number()
            << '\t' << escaped(result.message()) << '\n';
    }

private:
    std::string path_;
};

} // namespace

void reportToParentProcess()
{
    const char* file = std::getenv(kReportFile);
    if (!file || !std::getenv(kInNamespace)) return;
    ::testing::UnitTest::GetInstance()->listeners().Append(new ReportWriter(file));
}

std::string mountNamespaceRefusal()
{
    if (std::getenv(kInNamespace)) return {};
    return namespaces().refusal;
}

bool runInMountNamespace()
{
    if (std::getenv(kInNamespace)) return false; // the child: run the test
    const Namespaces& n = namespaces();
    if (n.options.isEmpty()) return false; // none here: the test tries in this process

    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    char exe[PATH_MAX] = {};
    const ssize_t length = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (!info || length <= 0) {
        ADD_FAILURE() << "can't find the test program to run it in a mount namespace";
        return true;
    }
    QTemporaryFile report;
    if (!report.open()) {
        ADD_FAILURE() << "no file for the test's report";
        return true;
    }
    const std::string name = std::string(info->test_suite_name()) + "." + info->name();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kInNamespace), QStringLiteral("unshare ") + n.options.join(' '));
    environment.insert(QString::fromLatin1(kReportFile), report.fileName());
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QStringLiteral("unshare"),
                n.options + QStringList{QStringLiteral("--"), QFile::decodeName(QByteArray(exe, int(length))),
                                        QStringLiteral("--gtest_filter=") + QString::fromStdString(name)});
    if (!child.waitForStarted(10000) || !child.waitForFinished(110000)) {
        child.kill();
        child.waitForFinished(5000);
        ADD_FAILURE() << "the test did not finish in its mount namespace";
        return true;
    }

    bool reported = false;
    std::ifstream in(report.fileName().toStdString());
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string kind, file, lineNumber, message;
        std::getline(fields, kind, '\t');
        std::getline(fields, file, '\t');
        std::getline(fields, lineNumber, '\t');
        std::getline(fields, message);
        message = unescaped(message);
        reported = true;
        if (kind == "skip") {
            [&] { GTEST_SKIP() << message; }();
        } else {
            ADD_FAILURE_AT(unescaped(file).c_str(), std::atoi(lineNumber.c_str())) << message;
        }
    }
    if (!reported && (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0))
        ADD_FAILURE() << "the test's process in its mount namespace ended abnormally (exit code " << child.exitCode()
                      << ")";
    return true;
}

ScratchMount::ScratchMount(std::string path) : ScratchMount(std::move(path), "sizemere-test", "tmpfs", 0, "size=16m") {}

ScratchMount ScratchMount::bind(const std::string& source, std::string path)
{
    return ScratchMount(std::move(path), source.c_str(), nullptr, MS_BIND, nullptr);
}

ScratchMount ScratchMount::proc(std::string path)
{
    return ScratchMount(std::move(path), "proc", "proc", 0, nullptr);
}

ScratchMount::ScratchMount(std::string path, const char* source, const char* type, unsigned long flags,
                           const char* data)
    : path_(std::move(path))
{
    ::mkdir(path_.c_str(), 0755);
    mounted_ = ::mount(source, path_.c_str(), type, flags, data) == 0;
    error_ = mounted_ ? 0 : errno;
}

ScratchMount::ScratchMount(ScratchMount&& other) noexcept
    : path_(std::move(other.path_)), mounted_(other.mounted_), error_(other.error_)
{
    other.mounted_ = false;
}

ScratchMount::~ScratchMount()
{
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
}

std::string ScratchMount::refusal() const
{
    std::string why = "mounting " + path_ + " is refused here (" + std::strerror(error_) + ")";
    if (const char* inside = std::getenv(kInNamespace)) {
        return why + ", inside `" + inside + "`";
    }
    const std::string namespaces = mountNamespaceRefusal();
    if (!namespaces.empty()) why += "; no private mount namespace either (" + namespaces + ")";
    return why;
}

} // namespace kztest
