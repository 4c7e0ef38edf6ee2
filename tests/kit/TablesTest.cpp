#include "kit/KZDeleteTableView.h"
#include "kit/KZLinedBackgroundView.h"
#include "kit/KZView.h"
#include "kit/PPTableView.h"
#include "kit/TQAppColors.h"
#include "kit/TQTooltipPanel.h"
#include "tests/kit/KitEvents.h"

#include <QPainterPath>
#include <QStandardItemModel>

#include <gtest/gtest.h>

namespace {
QList<qreal> tops(const QList<QRectF>& rects)
{
    QList<qreal> out;
    for (const QRectF& r : rects) out << r.y();
    return out;
}

class DeleteDelegate : public KZDeleteTableViewDelegate {
public:
    int calls = 0;
    KZDeleteTableView* table = nullptr;
    void tableViewDeleteFromKeyboard(KZDeleteTableView* t) override
    {
        ++calls;
        table = t;
    }
};
} // namespace

TEST(TableSkin, BackgroundSlotsStartOneSlotDownAndCoverTheClip)
{
    EXPECT_EQ(tops(PPTableView::backgroundSlots(QRectF(0, 0, 100, 70), 24)), (QList<qreal>{24, 48, 72}));
    EXPECT_EQ(tops(PPTableView::backgroundSlots(QRectF(0, 0, 100, 72), 24)), (QList<qreal>{24, 48, 72}));
    EXPECT_EQ(tops(PPTableView::backgroundSlots(QRectF(0, -30, 100, 40), 24)), (QList<qreal>{24, -24, -48}));
    EXPECT_TRUE(PPTableView::backgroundSlots(QRectF(0, -50, 100, 40), 24).size() == 3);
    EXPECT_EQ(PPTableView::backgroundSlots(QRectF(0, 0, 100, 70), 24).first().width(), 100);
}

TEST(TableSkin, FillerRowsBelowTheLastRow)
{
    // Three rows of 20: the last ends at 60; the clip reaches 130.
    EXPECT_EQ(tops(PPTableView::gridSlots(QRectF(0, 0, 100, 130), 60, 20, 20)), (QList<qreal>{40, 60, 80, 100}));
    // No rows: from -rowHeight.
    EXPECT_EQ(tops(PPTableView::gridSlots(QRectF(0, 0, 100, 50), 0, 20, 20)), (QList<qreal>{-20, 0, 20}));
    EXPECT_TRUE(PPTableView::gridSlots(QRectF(0, 0, 100, 50), 60, 20, 20).isEmpty());
}

TEST(TableSkin, DeleteKeysReachTheDelegateWithOrWithoutSelection)
{
    KZDeleteTableView table;
    DeleteDelegate delegate;
    EXPECT_TRUE(kittest::key(&table, Qt::Key_Delete)) << "without a delegate the key still stops here";
    table.setDeleteDelegate(&delegate);
    EXPECT_TRUE(kittest::key(&table, Qt::Key_Delete));
    EXPECT_TRUE(kittest::key(&table, Qt::Key_Backspace));
    EXPECT_EQ(delegate.calls, 2);
    EXPECT_EQ(delegate.table, &table);
    kittest::key(&table, Qt::Key_Down);
    EXPECT_EQ(delegate.calls, 2);
}

TEST(LinedBackground, LinesEveryTwoPixels)
{
    EXPECT_TRUE(KZLinedBackgroundView::lineRects(QSizeF(0, 10)).isEmpty());
    const auto lines = KZLinedBackgroundView::lineRects(QSizeF(5, 10));
    QList<qreal> xs;
    for (const QRectF& r : lines) xs << r.x();
    EXPECT_EQ(xs, (QList<qreal>{0, 2, 4}));
    EXPECT_EQ(lines.first(), QRectF(0, 0, 1, 10));
    EXPECT_EQ(KZLinedBackgroundView::lineRects(QSizeF(4, 10)).size(), 2);
}

TEST(LinedBackground, DefaultLineColourIsFaintWhiteAndStays)
{
    KZLinedBackgroundView view;
    view.resize(10, 10);
    EXPECT_FALSE(view.lineColor().isValid());
    view.grab();
    EXPECT_EQ(view.lineColor().rgb(), QColor(Qt::white).rgb());
    EXPECT_NEAR(view.lineColor().alphaF(), 0.35, 0.01);
}

TEST(LinedBackground, DrawsTheLinesOverTheColourAndRedrawsWhenSettingsChange)
{
    KZLinedBackgroundView view;
    view.resize(9, 6);
    view.setBackgroundColor(Qt::black);
    view.setLineColor(Qt::red);
    QImage image = view.grab().toImage();
    for (int x = 0; x < 9; ++x)
        for (int y : {0, 5})
            EXPECT_EQ(image.pixelColor(x, y), x % 2 == 0 ? QColor(Qt::red) : QColor(Qt::black)) << x << "," << y;
    // A new colour or size is drawn, not an old picture.
    view.setBackgroundColor(Qt::blue);
    view.resize(12, 6);
    image = view.grab().toImage();
    EXPECT_EQ(image.pixelColor(11, 3), QColor(Qt::blue));
    EXPECT_EQ(image.pixelColor(10, 3), QColor(Qt::red));
}

TEST(BackgroundView, BorderInsetAndAlpha)
{
    KZView view;
    view.setBorderColor(Qt::red);
    EXPECT_EQ(view.shapePath(QSizeF(40, 20)).boundingRect(), QRectF(0, 0, 40, 20)) << "width 0: no border, no inset";
    view.setBorderWidth(1);
    view.setCornerRadius(4);
    EXPECT_EQ(view.shapePath(QSizeF(40, 20)).boundingRect(), QRectF(0.5, 0.5, 39, 19));
    QColor c(Qt::blue);
    c.setAlphaF(0.8f);
    view.setBackgroundColor(c);
    view.setAlphaValue(0.5);
    EXPECT_NEAR(view.effectiveBackgroundColor().alphaF(), 0.4, 0.01);
}

TEST(BackgroundView, Colours)
{
    const QColor lined = tq_linedBackgroundColor();
    EXPECT_NEAR(lined.hsvHueF(), 223.0 / 360.0, 0.01);
    EXPECT_NEAR(lined.hsvSaturationF(), 0.06, 0.01);
    EXPECT_NEAR(lined.valueF(), 0.97, 0.01);
    TQTooltipPanel panel;
    EXPECT_EQ(panel.palette().color(QPalette::Window), TQTooltipPanel::panelColor());
    EXPECT_TRUE(panel.windowFlags() & Qt::ToolTip);
    EXPECT_FALSE(panel.isVisible());
}

TEST(TableSkin, PaintsWithRows)
{
    QStandardItemModel model(3, 2);
    for (int r = 0; r < 3; ++r) model.setItem(r, 0, new QStandardItem(QStringLiteral("Row %1").arg(r)));
    PPTableView table;
    table.setModel(&model);
    table.resize(200, 150);
    table.selectRow(1);
    const QImage image = table.grab().toImage();
    EXPECT_FALSE(image.isNull());
}
