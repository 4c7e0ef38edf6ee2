// What assistive technology reads of widgets that paint their own text and of windows made
// from plain widgets: role, name (accessible name, a label's, a window's title, a default, the
// text shown), the text as value and read-only text, and the name change it is told of.

#include "platform/widgets/KZAccessibleWidget.h"
#include "platform/widgets/KZCWindow.h"
#include "platform/widgets/KZPreviewPanel.h"
#include "tests/platform/PaintedWidgets.h"
#include "tests/support/Accessibility.h"

#include <QAccessible>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

TEST(AccessibleWidget, APaintedTextIsNamedByItsNameItsLabelOrWhatItShows)
{
    QWidget row;
    auto* layout = new QHBoxLayout(&row);
    auto* counter = new platformtest::PaintedCounter;
    auto* caption = new QLabel(QStringLiteral("Items"));
    layout->addWidget(caption);
    layout->addWidget(counter);
    row.show();
    counter->setText(QStringLiteral("12 files"));

    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(counter);
    ASSERT_NE(dynamic_cast<KZAccessibleWidget*>(iface), nullptr);
    EXPECT_EQ(iface->role(), QAccessible::StaticText);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("12 files")) << "the text shown";
    EXPECT_EQ(iface->text(QAccessible::Value), QStringLiteral("12 files"));
    EXPECT_TRUE(iface->state().readOnly);
    caption->setBuddy(counter);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Items")) << "the label whose buddy it is";
    counter->setAccessibleName(QStringLiteral("Files found"));
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Files found"));
    counter->setToolTip(QStringLiteral("Counted so far"));
    EXPECT_EQ(iface->text(QAccessible::Description), QStringLiteral("Counted so far"));

    // The text interface reads the text as it is now, and nothing can be selected or edited.
    QAccessibleTextInterface* text = iface->textInterface();
    ASSERT_NE(text, nullptr);
    counter->setText(QStringLiteral("13 files"));
    EXPECT_EQ(text->text(0, text->characterCount()), QStringLiteral("13 files"));
    EXPECT_EQ(text->text(3, 5), QStringLiteral("fi"));
    EXPECT_EQ(text->text(6, 2), QString());
    EXPECT_EQ(text->selectionCount(), 0);
    int start = -1, end = -1;
    EXPECT_TRUE(text->attributes(4, &start, &end).isEmpty());
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 8);
    EXPECT_EQ(iface->editableTextInterface(), nullptr);

    // A subclass with a description of its own gets it; without a text it has no text interface.
    platformtest::PaintedDial dial;
    dial.show();
    QAccessibleInterface* d = QAccessible::queryAccessibleInterface(&dial);
    EXPECT_EQ(d->role(), QAccessible::Dial);
    EXPECT_EQ(d->text(QAccessible::Name), QStringLiteral("Volume"));
    EXPECT_EQ(d->textInterface(), nullptr);
    EXPECT_FALSE(d->state().readOnly);
}

TEST(AccessibleWidget, TheProgramsOwnWindowsReadAsWindowsNamedByTheirTitle)
{
    std::unique_ptr<KZCWindow> welcome(KZCWindow::welcomeWindow());
    welcome->show();
    QAccessibleInterface* w = QAccessible::queryAccessibleInterface(welcome.get());
    EXPECT_EQ(w->role(), QAccessible::Window);
    EXPECT_EQ(w->text(QAccessible::Name), QStringLiteral("Welcome to Sizemere"));
    EXPECT_TRUE(kztest::unnamedAccessibleObjects(welcome.get()).isEmpty())
        << kztest::unnamedAccessibleObjects(welcome.get()).join(QLatin1Char('\n')).toStdString();
    EXPECT_NE(kztest::findAccessible(welcome.get(), QAccessible::PushButton, QStringLiteral("Get Started")), nullptr);

    KZPreviewPanel preview;
    preview.show();
    QAccessibleInterface* p = QAccessible::queryAccessibleInterface(&preview);
    EXPECT_EQ(p->role(), QAccessible::Window);
    EXPECT_EQ(p->text(QAccessible::Name), QStringLiteral("Preview"));
}

TEST(AccessibleWidget, AnEmptyFrameIsASeparatorAndAFrameAroundControlsStaysAFrame)
{
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* line = new QFrame;
    line->setFixedWidth(1);
    auto* box = new QFrame;
    new QPushButton(QStringLiteral("Show"), box);
    layout->addWidget(line);
    layout->addWidget(box);
    KZAccessibleWidget::install();
    window.show();
    EXPECT_EQ(QAccessible::queryAccessibleInterface(line)->role(), QAccessible::Separator);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(box)->role(), QAccessible::Border);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(box)->childCount(), 1);
}
