#include "kit/KZButton.h"
#include "kit/KZMavericksButtonCell.h"
#include "kit/KZNavigationButtonCell.h"
#include "kit/KZTouchBarButton.h"
#include "tests/kit/KitEvents.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace kittest;

namespace {
KZImage addImage()
{
    return KZImage::named(QStringLiteral("icon-add"));
}
KZImage addHover()
{
    return KZImage::named(QStringLiteral("icon-add-hover"));
}

std::unique_ptr<KZButton> imageButton()
{
    auto b = std::make_unique<KZButton>();
    b->resize(64, 64);
    b->setImageName(QStringLiteral("icon-add"));
    return b;
}
} // namespace

TEST(Button, HoverShowsTheHoverTwinAndLeavingRestoresTheImage)
{
    auto b = imageButton();
    ASSERT_FALSE(addHover().isNull());
    EXPECT_EQ(b->highlightedImage(), addHover());
    enter(b.get());
    EXPECT_EQ(b->image(), addHover());
    EXPECT_EQ(b->defaultImage(), addImage());
    leave(b.get());
    EXPECT_EQ(b->image(), addImage());
}

TEST(Button, DisabledButtonDoesNotHover)
{
    auto b = imageButton();
    b->setEnabled(false);
    enter(b.get());
    EXPECT_EQ(b->image(), addImage());
}

TEST(Button, ImageWithoutHoverTwinHasNoHover)
{
    KZButton b;
    b.setImageName(QStringLiteral("icon-folder"));
    EXPECT_TRUE(b.highlightedImage().isNull());
    enter(&b);
    EXPECT_EQ(b.image(), KZImage::named(QStringLiteral("icon-folder")));
}

TEST(Button, SettingAnImageFromOutsideIsRememberedAtTheNextHover)
{
    auto b = imageButton();
    enter(b.get());
    const KZImage other = KZImage::named(QStringLiteral("icon-file"));
    b->setImage(other);
    EXPECT_TRUE(b->defaultImage().isNull());
    leave(b.get());
    enter(b.get());
    EXPECT_EQ(b->defaultImage(), other);
    leave(b.get());
    EXPECT_EQ(b->image(), other);
}

TEST(Button, PressingWhileHoveringShowsTheNormalImage)
{
    auto b = imageButton();
    QSignalSpy clicked(b.get(), &QAbstractButton::clicked);
    enter(b.get());
    press(b.get(), QPoint(5, 5));
    EXPECT_EQ(b->image(), addImage());
    EXPECT_TRUE(b->isHighlighted());
    release(b.get(), QPoint(5, 5));
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_FALSE(b->isHighlighted());
}

TEST(Button, NormalReleaseOutsideSendsNothing)
{
    auto b = imageButton();
    QSignalSpy clicked(b.get(), &QAbstractButton::clicked);
    press(b.get(), QPoint(5, 5));
    move(b.get(), QPoint(200, 5));
    EXPECT_FALSE(b->isHighlighted());
    release(b.get(), QPoint(200, 5));
    EXPECT_EQ(clicked.count(), 0);
}

TEST(Button, ActionOnMouseDownFiresOnPressOnly)
{
    auto b = imageButton();
    QSignalSpy clicked(b.get(), &QAbstractButton::clicked);
    b->setActionOnMouseDown(true);
    press(b.get(), QPoint(5, 5));
    EXPECT_EQ(clicked.count(), 1);
    release(b.get(), QPoint(5, 5));
    EXPECT_EQ(clicked.count(), 1);
    b->setActionOnMouseDown(false);
    press(b.get(), QPoint(5, 5));
    EXPECT_EQ(clicked.count(), 1);
    release(b.get(), QPoint(5, 5));
    EXPECT_EQ(clicked.count(), 2);
}

TEST(Button, ToggleFlipsAndActsEvenWhenReleasedOutside)
{
    auto b = imageButton();
    b->setToggleButton(true);
    QSignalSpy clicked(b.get(), &QAbstractButton::clicked);
    press(b.get(), QPoint(5, 5));
    EXPECT_TRUE(b->isHighlighted());
    release(b.get(), QPoint(500, 500));
    EXPECT_EQ(b->state(), KZButton::On);
    EXPECT_TRUE(b->isHighlighted());
    EXPECT_EQ(clicked.count(), 1);
    click(b.get(), QPoint(5, 5));
    EXPECT_EQ(b->state(), KZButton::Off);
    EXPECT_FALSE(b->isHighlighted());
    b->setState(KZButton::Mixed);
    click(b.get(), QPoint(5, 5));
    EXPECT_EQ(b->state(), KZButton::Off) << "a mixed state becomes off";
}

TEST(Button, TabModeStaysHighlightedUntilTheStateIsSet)
{
    auto b = imageButton();
    b->setTabButton(true);
    QSignalSpy clicked(b.get(), &QAbstractButton::clicked);
    click(b.get(), QPoint(5, 5));
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(b->state(), KZButton::Off) << "the state is left to the action";
    EXPECT_TRUE(b->isHighlighted());
    b->setState(KZButton::Off);
    EXPECT_FALSE(b->isHighlighted());
}

TEST(Button, ClickBlockGetsTheSender)
{
    auto b = imageButton();
    KZButton* sender = nullptr;
    b->setWasClickedBlock([&](KZButton* s) { sender = s; });
    click(b.get(), QPoint(5, 5));
    EXPECT_EQ(sender, b.get());
}

TEST(Button, HandCursorOnlyWithSomethingToPoint)
{
    KZButton b;
    EXPECT_EQ(b.cursor().shape(), Qt::ArrowCursor);
    b.setTitle(QStringLiteral("Go"));
    EXPECT_EQ(b.cursor().shape(), Qt::PointingHandCursor);
    KZButton t;
    t.setTransparent(true);
    EXPECT_EQ(t.cursor().shape(), Qt::PointingHandCursor);
    KZButton s;
    s.setShowsCursor(true);
    EXPECT_EQ(s.cursor().shape(), Qt::PointingHandCursor);
    s.setShowsCursor(false);
    EXPECT_EQ(s.cursor().shape(), Qt::ArrowCursor);
}

TEST(Button, TitleColourAndShadow)
{
    KZButton b;
    b.setTitle(QStringLiteral("Next"));
    b.setTitleColor(Qt::red);
    EXPECT_EQ(b.titleStyle().color, QColor(Qt::red));
    EXPECT_EQ(b.titleStyle().alignment, Qt::AlignCenter);
    b.setTextShadow(KZShadow{Qt::white, QPointF(0, 1), 0});
    EXPECT_FALSE(b.titleStyle().shadow) << "the shadow waits for the next title change";
    b.setTitle(QStringLiteral("Next"));
    EXPECT_TRUE(b.titleStyle().shadow);
    // A shadow without a title colour draws in the palette's colour.
    KZButton plain;
    plain.setTextShadow(KZShadow{});
    plain.setTitle(QStringLiteral("Back"));
    EXPECT_FALSE(plain.titleStyle().color);
    EXPECT_EQ(plain.titleStyle().resolvedColor(plain.palette()), plain.palette().color(QPalette::WindowText));
}

TEST(ButtonTheme, Rectangles)
{
    const QRectF frame(0, 0, 100, 32);
    KZPushButtonTheme push;
    EXPECT_EQ(push.drawingRectForFrame(frame), QRectF(7.5, 4.5, 85, 20));
    KZTexturedButtonTheme textured;
    EXPECT_EQ(textured.drawingRectForFrame(frame), QRectF(0.5, 1.5, 99, 28));
    KZMavericksButtonTheme base;
    EXPECT_TRUE(base.drawingPathForFrame(frame).isEmpty());
    EXPECT_FALSE(base.strokeColor());
    EXPECT_FALSE(base.backgroundGradient());
    EXPECT_FALSE(base.titleAttributes());
}

TEST(ButtonTheme, ChosenByBezelStyle)
{
    EXPECT_TRUE(dynamic_cast<KZPushButtonTheme*>(KZMavericksButtonCell::buttonTheme(1).get()));
    EXPECT_TRUE(dynamic_cast<KZTexturedButtonTheme*>(KZMavericksButtonCell::buttonTheme(11).get()));
    EXPECT_EQ(KZMavericksButtonCell::buttonTheme(0), nullptr);
    EXPECT_EQ(KZMavericksButtonCell::buttonTheme(2), nullptr);
}

TEST(ButtonTheme, DisabledTitleAtAlphaSixTenths)
{
    const auto attributes = *KZPushButtonTheme().titleAttributes();
    const KZTextStyle disabled = KZMavericksButtonCell::themedTitleStyle(KZTextStyle{}, attributes, false);
    ASSERT_TRUE(disabled.color);
    EXPECT_NEAR(disabled.color->alphaF(), 0.6, 0.01);
    EXPECT_EQ(disabled.color->rgb(), QColor(Qt::black).rgb());
    EXPECT_DOUBLE_EQ(disabled.letterSpacing, -0.1);
    const KZTextStyle enabled = KZMavericksButtonCell::themedTitleStyle(KZTextStyle{}, attributes, true);
    EXPECT_DOUBLE_EQ(enabled.color->alphaF(), 1.0);
    EXPECT_EQ(KZMavericksButtonCell::themedTitleRect(QRectF(0, 0, 80, 24), 11, 24, 14).y(), 24 * 0.5 - 7 - 1);
    EXPECT_EQ(KZMavericksButtonCell::themedTitleRect(QRectF(0, 3, 80, 24), 1, 24, 14).y(), 3);
}

TEST(ButtonTheme, NavigationTitleNudgedByTag)
{
    const QRectF frame(10, 5, 60, 20);
    EXPECT_EQ(KZNavigationButtonCell::navigationTitleRect(frame, 1), QRectF(13, 7, 60, 20));
    EXPECT_EQ(KZNavigationButtonCell::navigationTitleRect(frame, 0), QRectF(7, 7, 60, 20));
    EXPECT_EQ(KZNavigationButtonCell::navigationTitleRect(frame, 2), QRectF(7, 7, 60, 20));
    const KZTextStyle disabled = KZNavigationButtonCell::navigationTitleStyle(KZTextStyle{}, false);
    EXPECT_NEAR(disabled.color->redF(), 0.4, 0.01);
    EXPECT_TRUE(disabled.shadow);
}

TEST(ButtonCell, ChosenByClassName)
{
    KZButton b;
    EXPECT_EQ(b.cellClass(), QStringLiteral("KZButtonCell"));
    b.setCellClass(QStringLiteral("KZMavericksButtonCell"));
    EXPECT_TRUE(dynamic_cast<KZMavericksButtonCell*>(b.cell()));
    b.setCellClass(QStringLiteral("KZNavigationButtonCell"));
    EXPECT_TRUE(dynamic_cast<KZNavigationButtonCell*>(b.cell()));
    b.setCellClass(QStringLiteral("NoSuchCell"));
    EXPECT_EQ(b.cellClass(), QStringLiteral("KZButtonCell"));
}

TEST(TouchBarButton, ImageAndTitlePlaces)
{
    const QRectF frame(0, 0, 120, 30);
    EXPECT_EQ(KZTouchBarButtonCell::imageRect(frame), QRectF(10, 8, 16, 16));
    EXPECT_EQ(KZTouchBarButtonCell::titleRect(frame, 16, true).x(), 32);
    EXPECT_EQ(KZTouchBarButtonCell::titleRect(frame, 16, true).y(), 8);
    EXPECT_EQ(KZTouchBarButtonCell::titleRect(QRectF(4, 0, 120, 30), 16, false).x(), 4);
    EXPECT_EQ(KZTouchBarButtonCell().cornerRadius(), 6);
}

TEST(TouchBarButton, RedPressedFillsAtEightTenthsAndMovingDropsIt)
{
    KZTouchBarButton b;
    b.resize(100, 30);
    b.setCellClass(QStringLiteral("KZRedTouchBarButtonCell"));
    const QPalette p = KZTouchBarButtonCell::touchBarPalette();
    EXPECT_EQ(b.cell()->titleColor(p), QColor(Qt::white));
    EXPECT_NEAR(b.cell()->backgroundColor(p).alphaF(), 1.0, 1e-6);
    EXPECT_NEAR(b.cell()->backgroundColorPressed(p).alphaF(), 0.8, 1e-3);
    QTouchEvent begin(QEvent::TouchBegin);
    QApplication::sendEvent(&b, &begin);
    EXPECT_TRUE(b.cell()->isMouseDown());
    QTouchEvent update(QEvent::TouchUpdate);
    QApplication::sendEvent(&b, &update);
    EXPECT_FALSE(b.cell()->isMouseDown());
}

TEST(TouchBarButton, ActsOnReleaseInsideOnly)
{
    KZTouchBarButton b;
    b.resize(100, 30);
    b.setCellClass(QStringLiteral("KZBlueTouchBarButtonCell"));
    QSignalSpy clicked(&b, &QAbstractButton::clicked);
    press(&b, QPoint(5, 5));
    EXPECT_TRUE(b.cell()->isMouseDown());
    release(&b, QPoint(300, 5));
    EXPECT_FALSE(b.cell()->isMouseDown());
    EXPECT_EQ(clicked.count(), 0);
    click(&b, QPoint(5, 5));
    EXPECT_EQ(clicked.count(), 1);
}

TEST(TouchBarButton, DisabledShowsAtEightTenthsAndIgnoresPresses)
{
    KZTouchBarButton b;
    EXPECT_DOUBLE_EQ(b.alphaValue(), 1.0);
    b.setEnabled(false);
    EXPECT_NEAR(b.alphaValue(), 0.8, 1e-6);
    press(&b, QPoint(5, 5));
    EXPECT_FALSE(b.cell()->isMouseDown());
    b.setEnabled(true);
    EXPECT_DOUBLE_EQ(b.alphaValue(), 1.0);
}
