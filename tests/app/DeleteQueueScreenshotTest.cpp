// Pictures of the delete-queue popover and the delete sheet in each of their states, written
// to the test output folder (app/) for a person to look at: the popover over a window with a
// toolbar, its table with a selected row, its empty state, and the sheet in progress,
// finished and on its error page.

#include "app/TQCellTableView.h"
#include "app/TQDeleteQueueViewController.h"
#include "app/TQEmptyTrashWindowController.h"
#include "app/TQTableCellView.h"
#include "kit/KZController.h"
#include "kit/TQAppColors.h"
#include "platform/KZDispatch.h"
#include "platform/KZFileFaults.h"
#include "platform/widgets/KZAppearance.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QPainter>
#include <QProgressBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <QThreadPool>

#include <gtest/gtest.h>

#include <cerrno>

namespace {

QString folder()
{
    const QString path = kztest::outputFolder() + QStringLiteral("/app");
    QDir().mkpath(path);
    return path;
}

QImage grabbed(QWidget* w)
{
    QImage image(w->size() * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(KZAppearance::aquaPalette().color(QPalette::Window));
    w->render(&image, QPoint(), QRegion(), QWidget::DrawChildren | QWidget::DrawWindowBackground);
    return image;
}

void save(const QImage& image, const QString& name)
{
    EXPECT_TRUE(image.save(folder() + "/" + name + ".png")) << name.toStdString();
}

// The parent window with the sheet drawn over it where it stands.
QImage withSheet(QWidget* window, QWidget* sheet)
{
    QImage image = grabbed(window);
    QPainter p(&image);
    p.fillRect(QRect(QPoint(), window->size()), QColor(0, 0, 0, 40));
    const QPoint at = sheet->geometry().topLeft() - window->geometry().topLeft();
    p.drawImage(QRect(at, sheet->size()), grabbed(sheet));
    p.setPen(QColor(0, 0, 0, 90));
    p.drawRect(QRect(at, sheet->size()).adjusted(0, 0, -1, -1));
    return image;
}

struct ShotTest : ::testing::Test {
    kztest::ScreenTestEnvironment env;
    kztest::TempDir dir;
    QMainWindow window;
    QToolButton* queueButton = nullptr;

    ShotTest()
    {
        KZAppearance::applyAqua(&window);
        window.setWindowTitle(QStringLiteral("Documents - 12.3 GB"));
        auto* bar = window.addToolBar(QStringLiteral("Results"));
        bar->setMovable(false);
        bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        for (const char* name : {"Zoom", "Reload", "Compress", "Delete", "Show", "Quick Look"})
            bar->addAction(QString::fromLatin1(name));
        auto* spacer = new QWidget;
        spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        bar->addWidget(spacer);
        queueButton = new QToolButton;
        queueButton->setText(QStringLiteral("Delete Queue"));
        bar->addWidget(queueButton);
        bar->addAction(QStringLiteral("Ignore"));
        auto* content = new QLabel(QStringLiteral("treemap"));
        content->setAlignment(Qt::AlignCenter);
        content->setAutoFillBackground(true);
        QPalette pal = content->palette();
        pal.setColor(QPalette::Window, QColor(92, 132, 196));
        pal.setColor(QPalette::WindowText, QColor(255, 255, 255, 160));
        content->setPalette(pal);
        window.setCentralWidget(content);
        window.resize(820, 560);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    // Icon lookups still under way end before the test does.
    ~ShotTest() { kztest::drainBackgroundWork(); }

    KZFileList queueOfRealFiles()
    {
        kztest::makeFile(dir / "Holiday video.mov", 2'400'000'000);
        kztest::makeFile(dir / "backup-2019.zip", 734'000'000);
        kztest::makeFile(dir / "Screenshot 2021-03-04 at 10.22.31.png", 1'830'000);
        kztest::makeFile(dir / "notes.txt", 12'400);
        kztest::makeDir(dir / "Old Projects");
        kztest::makeFile(dir / "A rather long file name that will not fit in the popover at all.pdf", 88'000);
        KZFileList files;
        for (const char* name : {"Holiday video.mov", "backup-2019.zip", "Screenshot 2021-03-04 at 10.22.31.png",
                                 "notes.txt", "A rather long file name that will not fit in the popover at all.pdf"})
            files.push_back(KZFile::fileWithPath(dir / name, true));
        KZDirectoryPtr old = KZDirectory::fileWithPath(dir / "Old Projects", true);
        old->setFileSize(5'120'000'000);
        files.insert(files.begin() + 2, old);
        return files;
    }

    // Lets the icons arrive.
    void settle() { kztest::drainBackgroundWork(); }
};

} // namespace

TEST_F(ShotTest, PopoverWithRowsAndASelectedRow)
{
    TQDeleteQueue::sharedInstance().addFilesToQueue(queueOfRealFiles());
    auto controller = ::controller<TQDeleteQueueViewController>();
    auto popover = std::make_unique<INPopoverController>(controller->view());
    popover->setColor(QColor::fromRgbF(1, 1, 1));
    popover->setCornerRadius(4);
    popover->presentPopoverFromRect(queueButton->geometry(), queueButton->parentWidget(), 3, false);
    controller->setPopover(popover.get());
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    TQCellTableView* table = controller->tableView();
    table->setFocus();
    table->selectRow(1);
    settle();
    EXPECT_TRUE(table->isEmphasized());
    save(grabbed(&window), QStringLiteral("queue-popover"));
    save(grabbed(controller->view()), QStringLiteral("queue-table-selected"));

    // Not the focus: the selection turns grey and the texts keep their colours.
    window.centralWidget()->setFocus();
    QCoreApplication::processEvents();
    save(grabbed(controller->view()), QStringLiteral("queue-table-selected-unfocused"));
    popover->closePopover();
}

TEST_F(ShotTest, PopoverEmpty)
{
    auto controller = ::controller<TQDeleteQueueViewController>();
    auto popover = std::make_unique<INPopoverController>(controller->view());
    popover->presentPopoverFromRect(queueButton->geometry(), queueButton->parentWidget(), 3, false);
    settle();
    save(grabbed(&window), QStringLiteral("queue-popover-empty"));
    popover->closePopover();
}

TEST_F(ShotTest, SheetInProgressFinishedAndErrors)
{
    env.settings.preferences().setUseTrash(false);
    TQDeleteQueue& queue = TQDeleteQueue::sharedInstance();
    {
        queue.addFilesToQueue(queueOfRealFiles());
        TQEmptyTrashWindowController sheet;
        ASSERT_TRUE(sheet.beginSheetForWindow(&window));
        // As the run shows it at 42%.
        sheet.progressIndicator()->setValue(420);
        sheet.progressLabel()->setText(TQEmptyTrashWindowController::progressText(0.42));
        save(withSheet(&window, sheet.window()), QStringLiteral("sheet-progress"));
        ASSERT_TRUE(kztest::waitFor([&] { return sheet.isFinished(); }));
        save(withSheet(&window, sheet.window()), QStringLiteral("sheet-finished"));
        env.clock.advance(0.3);
    }
    {
        kztest::makeFile(dir / "locked.iso", 4'700'000'000);
        kztest::makeDir(dir / "Library");
        kztest::makeFile(dir / "Library/busy.db", 1000);
        kztest::makeFile(dir / "fine.txt", 10);
        kztest::makeFile(dir / "a file with a very long name inside folders that goes on and on.txt", 10);
        const KZFileList files{
            KZFile::fileWithPath(dir / "locked.iso", true), KZDirectory::fileWithPath(dir / "Library", true),
            KZFile::fileWithPath(dir / "fine.txt", true),
            KZFile::fileWithPath(dir / "a file with a very long name inside folders that goes on and on.txt", true)};
        queue.addFilesToQueue(files);
        kz::setFileFaultHook([&](kz::FileOperation op, const std::string& path) {
            if (op == kz::FileOperation::Unlink && path == dir / "locked.iso") return EACCES;
            if (op == kz::FileOperation::Unlink && path.find("busy.db") != std::string::npos) return EBUSY;
            if (op == kz::FileOperation::Unlink && path.find("very long") != std::string::npos) return EROFS;
            return 0;
        });
        TQEmptyTrashWindowController sheet;
        ASSERT_TRUE(sheet.beginSheetForWindow(&window));
        ASSERT_TRUE(kztest::waitFor([&] { return sheet.isFinished(); }));
        kz::setFileFaultHook({});
        settle();
        EXPECT_EQ(sheet.currentView(), sheet.errorView());
        save(withSheet(&window, sheet.window()), QStringLiteral("sheet-errors"));
        save(grabbed(sheet.window()), QStringLiteral("sheet-errors-alone"));
        sheet.close();
    }
}
