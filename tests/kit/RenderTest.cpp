// Renders every control of the kit, in each of its states, into PNG images under the test
// output folder (kit/), plus one gallery sheet, for a person to look at.

#include "kit/ITPathbar.h"
#include "kit/KZButton.h"
#include "kit/KZDeleteTableView.h"
#include "kit/KZDropView.h"
#include "kit/KZFileDropView.h"
#include "kit/KZLinedBackgroundView.h"
#include "kit/KZProgressIndicator.h"
#include "kit/KZSpaceLabel.h"
#include "kit/KZToolbarStatusView.h"
#include "kit/KZTouchBarButton.h"
#include "kit/KZView.h"
#include "kit/PPTableRowView.h"
#include "kit/PPTableView.h"
#include "kit/TQAppColors.h"
#include "kit/TQTooltipPanel.h"
#include "kit/TWTouchBarProgressIndicator.h"
#include "kit/YRKSpinningProgressIndicator.h"
#include "platform/KZAnimationClock.h"
#include "platform/widgets/KZAppearance.h"
#include "tests/kit/KitEvents.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

constexpr qreal scale = 2;

struct Shot {
    QString name;
    QImage image;
};

class Gallery {
public:
    Gallery()
    {
        folder_ = kztest::outputFolder() + QStringLiteral("/kit");
        QDir().mkpath(folder_);
    }

    void add(const QString& name, QWidget* widget, QColor background = QColor())
    {
        widget->ensurePolished();
        QImage image((QSizeF(widget->size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(background.isValid() ? background : KZAppearance::aquaPalette().color(QPalette::Window));
        widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren | QWidget::DrawWindowBackground);
        EXPECT_TRUE(image.save(folder_ + "/" + name + ".png")) << name.toStdString();
        shots_.push_back({name, image});
    }

    void saveSheet()
    {
        const int columns = 4, cell = 440, label = 34;
        const int rows = int((shots_.size() + columns - 1) / columns);
        int rowHeight = 0;
        for (const Shot& s : shots_) rowHeight = std::max(rowHeight, int(s.image.height() / scale) + label + 12);
        QImage sheet(columns * cell, rows * rowHeight, QImage::Format_ARGB32_Premultiplied);
        sheet.fill(Qt::white);
        QPainter p(&sheet);
        QFont font;
        font.setPixelSize(13);
        p.setFont(font);
        for (size_t i = 0; i < shots_.size(); ++i) {
            const int x = int(i % columns) * cell + 6, y = int(i / columns) * rowHeight + 6;
            p.setPen(Qt::darkGray);
            p.drawText(QRect(x, y, cell - 12, label - 6), Qt::AlignLeft | Qt::AlignVCenter, shots_[i].name);
            QImage img = shots_[i].image;
            img.setDevicePixelRatio(scale);
            p.drawImage(QPointF(x, y + label), img);
        }
        p.end();
        EXPECT_TRUE(sheet.save(folder_ + "/gallery.png"));
    }

private:
    QString folder_;
    std::vector<Shot> shots_;
};

} // namespace

TEST(Render, EveryControlInEveryState)
{
    KZManualAnimationClock clock;
    KZAppearance::install();
    Gallery gallery;

    // Image button with a hover twin.
    for (const char* state : {"normal", "hover", "pressed", "disabled"}) {
        KZButton b;
        b.resize(72, 72);
        b.setImageName(QStringLiteral("icon-add"));
        if (QLatin1String(state) == QLatin1String("hover")) kittest::enter(&b);
        if (QLatin1String(state) == QLatin1String("pressed")) b.highlight(true);
        if (QLatin1String(state) == QLatin1String("disabled")) b.setEnabled(false);
        gallery.add(QStringLiteral("button-image-%1").arg(state), &b);
    }
    // Themed push and textured buttons.
    for (int bezel : {1, 11}) {
        for (const char* state : {"normal", "pressed", "disabled"}) {
            KZButton b;
            b.resize(bezel == 1 ? 110 : 96, bezel == 1 ? 32 : 25);
            b.setCellClass(QStringLiteral("KZMavericksButtonCell"));
            b.setBezelStyle(bezel);
            b.setTitle(bezel == 1 ? QStringLiteral("Choose…") : QStringLiteral("Rescan"));
            if (QLatin1String(state) == QLatin1String("pressed")) b.highlight(true);
            if (QLatin1String(state) == QLatin1String("disabled")) b.setEnabled(false);
            gallery.add(QStringLiteral("button-%1-%2").arg(bezel == 1 ? "push" : "textured", state), &b);
        }
    }
    // Wizard navigation buttons.
    for (int tag : {0, 1}) {
        for (const char* state : {"normal", "pressed", "disabled"}) {
            KZButton b;
            b.resize(90, 30);
            b.setBordered(true);
            b.setCellClass(QStringLiteral("KZNavigationButtonCell"));
            b.setTag(tag);
            b.setTitle(tag == 1 ? QStringLiteral("Next") : QStringLiteral("Back"));
            if (QLatin1String(state) == QLatin1String("pressed")) b.highlight(true);
            if (QLatin1String(state) == QLatin1String("disabled")) b.setEnabled(false);
            gallery.add(QStringLiteral("button-navigation-%1-%2").arg(tag == 1 ? "next" : "back", state), &b);
        }
    }
    {
        KZButton b;
        b.resize(140, 28);
        b.setTextShadow(KZShadow{Qt::white, QPointF(0, 1), 0});
        b.setTitleColor(QColor(40, 90, 160));
        b.setTitle(QStringLiteral("Show in File Manager"));
        gallery.add(QStringLiteral("button-title-coloured"), &b);
    }
    // Touch Bar buttons.
    for (const char* cell : {"KZRedTouchBarButtonCell", "KZBlueTouchBarButtonCell", "KZNormalTouchBarButtonCell"}) {
        for (const char* state : {"normal", "pressed", "disabled"}) {
            KZTouchBarButton b;
            b.resize(120, 30);
            b.setCellClass(QString::fromLatin1(cell));
            b.setText(QStringLiteral("Delete"));
            if (QLatin1String(cell) == QLatin1String("KZNormalTouchBarButtonCell"))
                b.setImage(KZImage::named(QStringLiteral("icon-folder")));
            if (QLatin1String(state) == QLatin1String("pressed")) kittest::press(&b, QPoint(5, 5));
            if (QLatin1String(state) == QLatin1String("disabled")) b.setEnabled(false);
            gallery.add(QStringLiteral("touchbar-%1-%2").arg(QString::fromLatin1(cell).mid(2, 4).toLower(), state), &b,
                        Qt::black);
        }
    }
    // The drop zone, at rest and with the ants a few steps on.
    for (int steps : {0, 4}) {
        KZView host;
        host.resize(300, 200);
        host.setBackgroundColor(tq_linedBackgroundColor());
        auto* zone = new KZFileDropView(&host);
        zone->setGeometry(20, 20, 260, 160);
        auto* drop = new KZDropView(&host);
        drop->setGeometry(zone->geometry());
        auto* add = new KZButton(&host);
        add->setGeometry(114, 52, 72, 72);
        add->setImageName(QStringLiteral("icon-add"));
        zone->startAnimation();
        clock.advance(0.05 * steps);
        gallery.add(QStringLiteral("dropzone-phase-%1").arg(steps), &host);
    }
    // Size labels.
    {
        KZSpaceLabel label;
        label.resize(180, 44);
        QFont f;
        f.setPixelSize(30);
        label.setFont(f);
        label.setSize(12.34, QStringLiteral("GB"), false);
        gallery.add(QStringLiteral("spacelabel-size"), &label);
        KZSpaceLabel count;
        count.resize(180, 44);
        KZSpaceLabel::resetLastFittedLength();
        count.setIntegerValue(123456);
        gallery.add(QStringLiteral("spacelabel-count"), &count);
    }
    // Progress bars.
    for (double value : {0.0, 0.01, 0.5, 1.0}) {
        KZProgressIndicator bar;
        bar.resize(240, 12);
        bar.setProgress(value, false);
        gallery.add(QStringLiteral("progress-%1").arg(int(value * 100)), &bar);
    }
    // The status panel background with a bar on it.
    {
        KZToolbarStatusView status;
        status.resize(360, 44);
        auto* bar = new KZProgressIndicator(&status);
        bar->setGeometry(20, 26, 320, 10);
        bar->setProgress(0.4, false);
        gallery.add(QStringLiteral("toolbar-status"), &status);
    }
    // Tables.
    {
        QStandardItemModel model(4, 2);
        const char* names[] = {"Movies", "old-backup.zip", "node_modules", "Photos 2019"};
        const char* sizes[] = {"12.4 GB", "3.1 GB", "811.0 MB", "2.2 GB"};
        for (int r = 0; r < 4; ++r) {
            model.setItem(r, 0, new QStandardItem(QString::fromLatin1(names[r])));
            model.setItem(r, 1, new QStandardItem(QString::fromLatin1(sizes[r])));
        }
        PPTableView table;
        table.setModel(&model);
        table.resize(300, 170);
        table.horizontalHeader()->hide();
        table.setColumnWidth(0, 180);
        table.selectRow(1);
        gallery.add(QStringLiteral("table-skin"), &table);
        PPTableView empty;
        empty.resize(300, 120);
        gallery.add(QStringLiteral("table-skin-empty"), &empty);

        QImage rows(QSize(300, 72) * int(scale), QImage::Format_ARGB32_Premultiplied);
        rows.setDevicePixelRatio(scale);
        QPainter p(&rows);
        PPTableRowView::drawBackground(p, QRectF(0, 0, 300, 24));
        PPTableRowView::drawSelection(p, QRectF(0, 24, 300, 24), true);
        PPTableRowView::drawSelection(p, QRectF(0, 48, 300, 24), false);
        p.end();
        QLabel holder;
        holder.resize(300, 72);
        holder.setPixmap(QPixmap::fromImage(rows));
        gallery.add(QStringLiteral("table-rows-normal-emphasized-secondary"), &holder);

        KZDeleteTableView ignored;
        QStandardItemModel paths(2, 1);
        paths.setItem(0, 0, new QStandardItem(QStringLiteral("/proc")));
        paths.setItem(1, 0, new QStandardItem(QStringLiteral("~/Library")));
        ignored.setModel(&paths);
        ignored.resize(300, 90);
        gallery.add(QStringLiteral("table-delete"), &ignored);
    }
    // Backgrounds and the tooltip panel.
    {
        KZView view;
        view.resize(200, 100);
        view.setBackgroundColor(QColor(255, 255, 255));
        view.setBorderColor(QColor(180, 180, 180));
        view.setBorderWidth(1);
        view.setCornerRadius(8);
        view.setShadow(KZShadow{QColor(0, 0, 0, 60), QPointF(0, 2), 4});
        gallery.add(QStringLiteral("view-rounded-bordered"), &view);
        KZLinedBackgroundView lined;
        lined.resize(200, 100);
        lined.setBackgroundColor(tq_linedBackgroundColor());
        gallery.add(QStringLiteral("view-lined"), &lined);
        TQTooltipPanel panel;
        auto* layout = new QVBoxLayout(&panel);
        layout->addWidget(new QLabel(QStringLiteral("<b>Movies</b><br>12.4 GB<br>Modified 3 May 2024")));
        panel.resize(200, 80);
        gallery.add(QStringLiteral("tooltip-panel"), &panel);
    }
    // The path bar over a real folder tree, wide and squeezed.
    {
        kztest::TempDir dir;
        kztest::makeFile(dir / "Projects/sizemere-screenshots/notes about the release.txt", 10);
        for (int width : {560, 260}) {
            ITPathbar bar;
            bar.resize(width, 22);
            bar.setURL(dir.path());
            bar.setURL(dir / "Projects/sizemere-screenshots/notes about the release.txt");
            gallery.add(QStringLiteral("pathbar-%1").arg(width), &bar);
        }
    }
    // Spinners.
    {
        QWidget host;
        host.resize(48, 48);
        auto* spinner = new YRKSpinningProgressIndicator(&host);
        spinner->setGeometry(0, 0, 48, 48);
        gallery.add(QStringLiteral("spinner-stopped"), &host);
        spinner->startAnimation();
        clock.advance(0.05 * 3);
        gallery.add(QStringLiteral("spinner-spinning"), &host);
        spinner->stopAnimation();
        clock.advance(0.4);
        gallery.add(QStringLiteral("spinner-fading"), &host);
        clock.advance(1);
        spinner->setCurrentValue(25);
        gallery.add(QStringLiteral("spinner-pie-25"), &host);
        spinner->setCurrentValue(70);
        gallery.add(QStringLiteral("spinner-pie-70"), &host);
        auto* touch = new TWTouchBarProgressIndicator(&host);
        touch->setGeometry(0, 0, 48, 48);
        spinner->hide();
        touch->startAnimation();
        clock.advance(0.05 * 5);
        gallery.add(QStringLiteral("spinner-touchbar"), &host);
    }
    gallery.saveSheet();
}
