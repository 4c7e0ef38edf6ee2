// The finished screen's figures against the disk, through the whole wizard on real files: the
// figure is what the run took off the disk (the bytes of the files and links that left the
// scanned folder) less the archives it wrote there.

#include "app/KZFinishedViewController.h"
#include "app/TQCompressingWindowController.h"
#include "app/TQRemovalFlow.h"
#include "app/TQRunLedger.h"
#include "kit/KZSpaceLabel.h"
#include "model/KZPath.h"
#include "platform/KZFileFaults.h"
#include "platform/widgets/KZSound.h"
#include "tests/app/WizardTestSupport.h"
#include "treemap/TQTheme.h"

#include "ui_KZFinishedViewController.h"

#include <QLabel>

#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>

using namespace kztest;
using State = TQCompressingWindowController::State;

namespace {

// The bytes of the files and links below the folder (folders count 0), as the figure counts them.
double fileBytesUnder(const std::string& path)
{
    namespace fs = std::filesystem;
    double bytes = 0;
    std::error_code error;
    for (fs::recursive_directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) bytes += double(st.st_size);
    }
    return bytes;
}

// A file of random bytes, as photos are: zip can't make it smaller.
void writeRandomFile(const std::string& path, size_t size)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::mt19937 random{static_cast<unsigned>(size)};
    std::string bytes(size, '\0');
    for (char& c : bytes) c = char(random() & 0xff);
    std::ofstream(path, std::ios::binary) << bytes;
}

class Figures : public WizardFixture {
protected:
    Figures()
    {
        if (!TQTheme::availableThemes()) TQTheme::registerAvailableThemes();
        Preferences& prefs = env.settings.preferences();
        prefs.setUseTrash(false);
        prefs.setHasAskedToUseDeleteQueue(true);
        prefs.setUseDeleteQueue(false);
        prefs.setDeleteCompressedOriginal(true);
        kz::setTriTonePlayerForTesting([] {});
    }
    ~Figures() override
    {
        drainBackgroundWork();
        kz::setTriTonePlayerForTesting({});
    }

    // Scans the folder and notes what its files hold.
    void scan()
    {
        runToResults(dir.path());
        before = fileBytesUnder(dir.path());
    }
    TQTreemapViewController* screen() const { return wc->treemapViewController(); }
    TQRunLedger* ledger() const { return wc->runLedger(); }
    KZFinishedViewController* finished() const { return wc->finishedViewController(); }
    Ui::KZFinishedViewController* form() const { return finished()->ui(); }
    // What left the scanned folder since the scan.
    double wentFromTheFolder() const { return before - fileBytesUnder(dir.path()); }

    // Compresses the root's child and waits until its window shows the archive complete.
    QPointer<TQCompressingWindowController> compress(const std::string& name)
    {
        screen()->treemapViewCompressFiles(screen()->treemapView(), {childNamed(name)});
        const auto running = screen()->removalFlow()->compressingWindowControllers();
        EXPECT_EQ(running.size(), 1u);
        if (running.empty()) return nullptr;
        QPointer<TQCompressingWindowController> c = running.front();
        EXPECT_TRUE(waitFor([&] { return !c || c->state() == State::Complete; }));
        return c;
    }
    void finish()
    {
        click("nextButton");
        ASSERT_TRUE(wc->isFinishedScreenShown());
    }

    TempDir dir;
    double before = 0;
};

} // namespace

// ---- compressions ----

TEST_F(Figures, ACompressionWhoseArchiveOutweighsWhatWentMakesTheFigureWhatTheDiskGained)
{
    // A zip of photos is larger than the photos.
    writeRandomFile(dir / "photos/a.jpg", 150000);
    writeRandomFile(dir / "photos/b.jpg", 150000);
    writeRandomFile(dir / "keep.txt", 500);
    scan();
    QPointer<TQCompressingWindowController> c = compress("photos");
    ASSERT_TRUE(c);
    const double archive = TQCompressingWindowController::fileSizeForPath(dir / "photos.zip");
    ASSERT_GT(archive, 300000);
    ASSERT_TRUE(c->performClose());
    finish();

    EXPECT_EQ(finished()->totalFreed(), wentFromTheFolder());
    EXPECT_EQ(finished()->totalFreed(), 300000 - archive);
    EXPECT_EQ(finished()->totalCompressed(), 1) << "a compression that saved nothing still counts";
    EXPECT_EQ(form()->totalFreedSubtitleLabel->text(), KZFinishedViewController::GrewCaption);
    EXPECT_EQ(form()->totalFreedLabel->stringValue(), QString::asprintf("%.1fKB", (archive - 300000) / 1000.0));
    EXPECT_TRUE(finished()->shareText(0).startsWith(QStringLiteral("I cleaned my computer")));
    EXPECT_EQ(wc->touchBarFinishedLabel()->text(), TQMainWindowController::finishedTouchBarText(0));
}

TEST_F(Figures, ACompressionWhoseItemWentElsewhereCountsOnlyItsArchive)
{
    writeRandomFile(dir / "big.txt", 200000);
    writeRandomFile(dir / "keep.txt", 500);
    scan();
    // Another program deletes the item once zip has read it.
    QPointer<TQCompressingWindowController> c;
    {
        ScopedFaultHook faults([&](kz::FileOperation op, const std::string&) {
            if (op == kz::FileOperation::Flush) ::unlink((dir / "big.txt").c_str());
            return 0;
        });
        c = compress("big.txt");
    }
    ASSERT_TRUE(c);
    const double archive = TQCompressingWindowController::fileSizeForPath(dir / "big.zip");
    ASSERT_GT(archive, 0);
    ASSERT_TRUE(c->performClose());
    finish();
    // The folder lost the item, but not through the run: the run only added the archive.
    EXPECT_EQ(wentFromTheFolder(), 200000 - archive);
    EXPECT_EQ(finished()->totalFreed(), -archive);
    EXPECT_EQ(finished()->totalCompressed(), 1);
}

TEST_F(Figures, ACompressionThatKeepsItsOriginalsCountsItsArchive)
{
    env.settings.preferences().setDeleteCompressedOriginal(false);
    writeRandomFile(dir / "notes/a.txt", 1000);
    std::ofstream(dir / "notes/b.txt") << std::string(90000, 'n');
    scan();
    QPointer<TQCompressingWindowController> c = compress("notes");
    ASSERT_TRUE(c);
    ASSERT_TRUE(c->performClose());
    finish();
    EXPECT_EQ(finished()->totalFreed(), wentFromTheFolder());
    EXPECT_LT(finished()->totalFreed(), 0);
    EXPECT_EQ(finished()->totalCompressed(), 1);
}
