// Pictures of the scanning screen and the status panel in each of their states, written to
// the test output folder (scanning/) for a person to look at.

#include "app/KZLCDLabel.h"
#include "app/KZLCDStatusViewController.h"
#include "app/TQFileScanViewController.h"
#include "kit/KZController.h"
#include "kit/TQAppColors.h"
#include "platform/widgets/KZAppearance.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/ScanTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

QString folder()
{
    const QString dir = kztest::outputFolder() + QStringLiteral("/scanning");
    QDir().mkpath(dir);
    return dir;
}

// The widget as grab() sees it (the counter's opacity effect included), on a backdrop with a
// margin around it.
QImage picture(QWidget* widget, QColor backdrop, int margin)
{
    widget->show();
    QCoreApplication::processEvents();
    const QImage shot = widget->grab().toImage();
    QImage image(shot.size() + QSize(2 * margin, 2 * margin), QImage::Format_ARGB32_Premultiplied);
    image.fill(backdrop);
    QPainter painter(&image);
    painter.drawImage(QPoint(margin, margin), shot);
    return image;
}

void save(const QImage& image, const QString& name)
{
    EXPECT_TRUE(image.save(folder() + "/" + name + ".png")) << name.toStdString();
}

} // namespace

TEST(ScanningLooks, StatusPanelInEachState)
{
    kztest::ScreenTestEnvironment env;
    auto panel = controller<KZLCDStatusViewController>();
    QWidget* view = panel->view();
    // The toolbar's grey around the panel.
    const QColor toolbar = KZAppearance::aquaPalette().color(QPalette::Window);
    QList<std::pair<QString, QImage>> shots;
    auto shot = [&](const QString& name) {
        shots.append({name, picture(view, toolbar, 8)});
        save(shots.back().second, QStringLiteral("panel-") + name);
    };

    shot(QStringLiteral("idle"));
    panel->showScanningView();
    env.clock.advance(0.3);
    env.clock.advance(1.2); // "..."
    shot(QStringLiteral("scanning"));
    panel->scanningTitleLabel()->setText(
        QStringLiteral("/home/someone/Projects/sizemere/build/test-output/treemap/frames/0001.png"));
    env.clock.advance(0.5);
    shot(QStringLiteral("scanning-path"));
    panel->setProgress(0.4);
    shot(QStringLiteral("scanning-progress"));
    panel->setProgress(0.0);
    panel->showFinishedView();
    env.clock.advance(0.15);
    shot(QStringLiteral("transition-midway"));
    env.clock.advance(0.15);
    shot(QStringLiteral("finished"));
    panel->showNoDuplicatesView();
    env.clock.advance(0.3);
    shot(QStringLiteral("no-results"));
    panel->showNoDuplicatesView(QStringLiteral("“/media/backup” could not be opened: Permission denied"));
    env.clock.advance(0.3);
    shot(QStringLiteral("no-results-reason"));
    panel->showCongratsView();
    env.clock.advance(0.3);
    shot(QStringLiteral("congrats"));
    view->hide();

    // All of them on one sheet, at twice the size, each with its name.
    const int label = 140, rowHeight = shots.front().second.height();
    QImage sheet(QSize(label + shots.front().second.width(), rowHeight * int(shots.size())) * 2,
                 QImage::Format_ARGB32_Premultiplied);
    sheet.fill(toolbar);
    QPainter painter(&sheet);
    painter.scale(2, 2);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int i = 0; i < shots.size(); ++i) {
        painter.setPen(Qt::darkGray);
        painter.drawText(QRect(6, i * rowHeight, label - 6, rowHeight), Qt::AlignVCenter, shots[i].first);
        painter.drawImage(QPoint(label, i * rowHeight), shots[i].second);
    }
    painter.end();
    save(sheet, QStringLiteral("panel-sheet"));
}

TEST(ScanningLooks, ScanningScreenWhileScanningAndFinished)
{
    kztest::ScreenTestEnvironment env;
    auto panel = controller<KZLCDStatusViewController>();
    const QColor background = tq_linedBackgroundColor();
    // The main window's content view shows through the screen.
    QPalette backdrop = KZAppearance::aquaPalette();
    backdrop.setColor(QPalette::Window, background);

    {
        auto screen = controller<kztest::ScanScreenProbe>();
        screen->setLcdViewController(panel.get());
        // A real scan, held in the middle of its walk while the pictures are taken.
        kztest::TempDir dir;
        kztest::makeFile(dir / "held", 10);
        kztest::ScanGate gate("/held");
        screen->setFilePath(dir.path());
        screen->view()->setPalette(backdrop);
        screen->view()->resize(600, 400);
        screen->setScannerPreparationForTesting([&](KZFileScanner& s) { gate.install(s); });
        screen->startScan();
        gate.waitUntilReached();
        screen->scanDidCount(128734);
        screen->scanDidMeasure(48.7e9);
        screen->scanDidReachPath("/home/someone/Videos/2023/holiday/clip-0042.mov");
        save(picture(screen->view(), background, 0), QStringLiteral("screen-scanning"));
        // The counter dimmed by its flashing, half-way.
        env.clock.advance(3.0 + 0.8);
        save(picture(screen->view(), background, 0), QStringLiteral("screen-scanning-quiet"));
        EXPECT_NEAR(screen->filesScannedOpacity(), 0.5, 1e-9);
        screen->cancel();
        gate.open();
        kztest::settle();
        screen->view()->hide();
    }
    {
        kztest::TempDir dir;
        kztest::makeFile(dir / "Photos/2024/a.jpg", 3'400'000);
        kztest::makeFile(dir / "Photos/2024/b.jpg", 2'900'000);
        kztest::makeFile(dir / "notes.txt", 12'000);
        auto screen = TQFileScanViewController::controllerWithFilePath(dir.path());
        screen->setLcdViewController(panel.get());
        screen->view()->setPalette(backdrop);
        screen->view()->resize(600, 400);
        screen->startScan();
        kztest::settle();
        env.clock.advance(0.3);
        ASSERT_FALSE(screen->scanResult().empty());
        save(picture(screen->view(), background, 0), QStringLiteral("screen-finished"));
        // A folder that can't be opened: the reason in full, under the counters.
        screen->setFilePath(dir / "Photos/missing folder of holiday pictures from the summer of 2019");
        screen->startScan();
        kztest::settle();
        env.clock.advance(0.3);
        EXPECT_TRUE(screen->failureLabel()->isVisibleTo(screen->view()));
        save(picture(screen->view(), background, 0), QStringLiteral("screen-failed"));
        save(picture(panel->view(), KZAppearance::aquaPalette().color(QPalette::Window), 8),
             QStringLiteral("screen-failed-panel"));
        save(picture(panel->view(), KZAppearance::aquaPalette().color(QPalette::Window), 8),
             QStringLiteral("screen-finished-panel"));
        screen->view()->hide();
        panel->view()->hide();
    }
}
