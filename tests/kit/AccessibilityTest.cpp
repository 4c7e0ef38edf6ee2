// What assistive technology reads of the kit's painted widgets: the path bar as a list of
// its folders (pressed as a double click), a size label named by its caption with its size as
// value and text, the status view and the tooltip panel.

#include "tests/support/Accessibility.h"
#include "kit/ITPathbar.h"
#include "kit/ITPathbarAccessibility.h"
#include "kit/KZSpaceLabel.h"
#include "kit/KZToolbarStatusView.h"
#include "kit/TQTooltipPanel.h"
#include "tests/support/TestSupport.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QLabel>
#include <QSignalSpy>
#include <QVBoxLayout>

#include <gtest/gtest.h>

TEST(KitAccessibility, PathBarIsAListOfItsFoldersPressedToShowOne)
{
    ITPathbar bar;
    bar.setIconProvider([](const std::string&, qreal) { return KZImage(); });
    bar.resize(600, 22);
    bar.setURL("/srv/data");
    bar.setURL("/srv/data/photos/2019");
    bar.show();

    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&bar);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    EXPECT_EQ(list->text(QAccessible::Name), QStringLiteral("Path"));
    EXPECT_EQ(list->text(QAccessible::Value), QStringLiteral("/srv/data/photos/2019"));
    ASSERT_EQ(list->childCount(), 3);
    const QStringList names{QStringLiteral("data"), QStringLiteral("photos"), QStringLiteral("2019")};
    for (int i = 0; i < 3; ++i) {
        QAccessibleInterface* item = list->child(i);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->role(), QAccessible::ListItem);
        EXPECT_EQ(item->text(QAccessible::Name), names[i]);
        EXPECT_EQ(item->parent(), list);
        EXPECT_EQ(list->indexOfChild(item), i);
        EXPECT_EQ(item, list->child(i)) << "one item per place";
        // Where the component is drawn, and found there again.
        const QRect r = item->rect();
        EXPECT_TRUE(r.isValid());
        EXPECT_EQ(list->childAt(r.center().x() - 3, r.center().y()), item);
    }
    EXPECT_EQ(list->child(1)->text(QAccessible::Description), QStringLiteral("/srv/data/photos"));
    EXPECT_TRUE(kztest::unnamedAccessibleObjects(&bar).isEmpty());

    // Pressing an item reports its path, as a double click does.
    QSignalSpy spy(&bar, &ITPathbar::doubleClicked);
    QAccessibleActionInterface* actions = list->child(1)->actionInterface();
    ASSERT_NE(actions, nullptr);
    EXPECT_EQ(actions->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
    actions->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toByteArray(), QByteArray("/srv/data/photos"));
    EXPECT_EQ(bar.clickedPathComponent(), std::optional<std::string>("/srv/data/photos"));

    // A shorter path: the items past its end are invalid and do nothing.
    QAccessibleInterface* third = list->child(2);
    bar.setURL("/srv/data");
    EXPECT_EQ(list->childCount(), 1);
    EXPECT_FALSE(third->isValid());
    EXPECT_TRUE(third->text(QAccessible::Name).isEmpty());
    EXPECT_TRUE(third->actionInterface()->actionNames().isEmpty());
    third->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(list->child(1), nullptr);
}

TEST(KitAccessibility, SizeLabelIsNamedByItsCaptionAndReadsItsSize)
{
    QWidget column;
    auto* layout = new QVBoxLayout(&column);
    auto* size = new KZSpaceLabel;
    size->setMinimumSize(200, 40);
    auto* caption = new QLabel(QStringLiteral("Total Size"));
    caption->setBuddy(size);
    layout->addWidget(size);
    layout->addWidget(caption);
    column.show();
    size->setSize(25.7e6);

    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(size);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::StaticText);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Total Size"));
    EXPECT_EQ(size->stringValue(), QStringLiteral("25.7MB"));
    EXPECT_EQ(iface->text(QAccessible::Value), QStringLiteral("25.7 MB")) << "a blank before the unit";
    QAccessibleTextInterface* text = iface->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->characterCount(), 7);
    EXPECT_EQ(text->text(0, -1), QStringLiteral("25.7 MB"));
    EXPECT_EQ(text->text(5, 99), QStringLiteral("MB"));
    EXPECT_EQ(text->text(-3, 2), QStringLiteral("25"));
    EXPECT_TRUE(iface->state().readOnly);

    // A plain count; without a caption the label is named by what it shows.
    size->setIntegerValue(1234);
    EXPECT_EQ(iface->text(QAccessible::Value), QStringLiteral("1234"));
    caption->setBuddy(nullptr);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("1234"));
    EXPECT_TRUE(kztest::unnamedAccessibleObjects(size).isEmpty());
}

TEST(KitAccessibility, StatusViewAndTooltipPanelSayWhatTheyAre)
{
    KZToolbarStatusView status;
    status.resize(300, 40);
    status.show();
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(&status);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->role(), QAccessible::StatusBar);
    EXPECT_EQ(bar->text(QAccessible::Name), QStringLiteral("Status"));
    EXPECT_EQ(bar->textInterface(), nullptr) << "its lines are its children";

    TQTooltipPanel panel;
    auto* layout = new QVBoxLayout(&panel);
    auto* label = new QLabel(QStringLiteral("big.bin\nSize: 400.0 KB"));
    layout->addWidget(label);
    panel.show();
    QAccessibleInterface* tip = QAccessible::queryAccessibleInterface(&panel);
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(tip->role(), QAccessible::ToolTip);
    EXPECT_EQ(tip->text(QAccessible::Name), QStringLiteral("big.bin\nSize: 400.0 KB"));
    label->setText(QStringLiteral("docs"));
    EXPECT_EQ(tip->text(QAccessible::Name), QStringLiteral("docs")) << "read when asked, never stale";
    EXPECT_TRUE(kztest::unnamedAccessibleObjects(&panel).isEmpty());
}
