#include "app/KZAboutViewController.h"
#include "app/TQColorThemeViewController.h"
#include "app/TQPreferencesWindowController.h"
#include "app/TQThemeSwatchView.h"
#include "app/TQWebAddresses.h"
#include "kit/KZController.h"
#include "platform/KZPathString.h"
#include "platform/widgets/KZAppearance.h"
#include "platform/widgets/KZPasteboard.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"
#include "treemap/TQTheme.h"
#include "ui_KZAboutViewController.h"
#include "ui_TQColorThemeViewController.h"
#include "ui_TQPreferencesWindowController.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGraphicsEffect>
#include <QMimeData>
#include <QPropertyAnimation>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

namespace {

class PreferencesWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!TQTheme::availableThemes()) TQTheme::registerAvailableThemes();
    }
    Preferences& prefs() { return env.settings.preferences(); }
    // A window as the application delegate opens it, on screen.
    TQPreferencesWindowController& open()
    {
        if (!wc) wc = ::controller<TQPreferencesWindowController>();
        wc->showWindow();
        return *wc;
    }
    Ui::TQPreferencesWindowController* form() { return wc->ui(); }
    // Replaces the size field's text as a user would: select all, type.
    void typeSize(const QString& text)
    {
        QLineEdit* field = form()->fileSizeTextField;
        field->selectAll();
        if (text.isEmpty())
            QTest::keyClick(field, Qt::Key_Backspace);
        else
            QTest::keyClicks(field, text);
    }

    kztest::ScreenTestEnvironment env;
    std::unique_ptr<TQPreferencesWindowController> wc;
};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void dropPaths(QWidget* target, const std::vector<std::string>& paths, bool* accepted)
{
    std::unique_ptr<QMimeData> data(KZPasteboard::mimeDataForPaths(paths));
    const QPoint at(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    *accepted = enter.isAccepted();
    if (!enter.isAccepted()) return;
    QDropEvent drop(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    *accepted = drop.isAccepted();
}

// Clicks a check box on its box (the widget may be wider than its text).
void clickCheckBox(QCheckBox* box)
{
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, box->height() / 2));
}

// Runs an action of a control's accessible action interface, as a screen reader or voice
// control does; false when the control offers no such action.
bool doAccessibleAction(QWidget* control, const QString& action)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(control);
    QAccessibleActionInterface* actions = iface ? iface->actionInterface() : nullptr;
    if (!actions || !actions->actionNames().contains(action)) return false;
    actions->doAction(action);
    return true;
}

// The settings as a new start reads them from the file.
std::unique_ptr<Preferences> reread(std::unique_ptr<KZUserDefaults>& store)
{
    store = std::make_unique<KZUserDefaults>(KZUserDefaults::standardUserDefaults().filePath());
    return std::make_unique<Preferences>(*store);
}

} // namespace

// Toggled through the accessibility interface, every check box writes its setting, the file
// holds it, and the window opened again shows it; opening the window writes nothing.
TEST_F(PreferencesWindowTest, CheckBoxesToggledByAssistiveTechnologyWriteAndSurviveReopening)
{
    open();
    QSignalSpy writes(&prefs(), &Preferences::propertyChanged);
    struct Box {
        QCheckBox* box;
        std::function<bool(const Preferences&)> setting;
    };
    const std::vector<Box> boxes{
        {form()->useTrashCheckbox, [](const Preferences& p) { return p.useTrash(); }},
        {form()->useDeleteQueueCheckbox, [](const Preferences& p) { return p.useDeleteQueue(); }},
        {form()->deleteOriginalCheckbox, [](const Preferences& p) { return p.deleteCompressedOriginal(); }},
        {form()->showHiddenFilesCheckbox, [](const Preferences& p) { return p.showHiddenFiles(); }},
        {form()->showSystemFilesCheckbox, [](const Preferences& p) { return p.showSystemFiles(); }},
    };
    std::vector<bool> states;
    for (const Box& b : boxes) {
        SCOPED_TRACE(b.box->objectName().toStdString());
        const bool before = b.setting(prefs());
        ASSERT_EQ(b.box->isChecked(), before);
        ASSERT_TRUE(doAccessibleAction(b.box, QAccessibleActionInterface::toggleAction()));
        EXPECT_EQ(b.box->isChecked(), !before);
        EXPECT_EQ(b.setting(prefs()), !before);
        std::unique_ptr<KZUserDefaults> store;
        EXPECT_EQ(b.setting(*reread(store)), !before);
        states.push_back(!before);
    }
    EXPECT_TRUE(prefs().hasAskedToUseDeleteQueue());
    // One write per setting (the queue box also marks the question asked).
    EXPECT_EQ(writes.count(), int(boxes.size()) + 1);

    // Toggled back and forth: each toggle writes what the box shows.
    ASSERT_TRUE(doAccessibleAction(form()->showHiddenFilesCheckbox, QAccessibleActionInterface::toggleAction()));
    EXPECT_EQ(prefs().showHiddenFiles(), !states[3]);
    ASSERT_TRUE(doAccessibleAction(form()->showHiddenFilesCheckbox, QAccessibleActionInterface::toggleAction()));
    EXPECT_EQ(prefs().showHiddenFiles(), states[3]);

    // Opened again: the boxes show what was stored, and filling them writes nothing.
    wc->window()->close();
    wc.reset();
    QApplication::processEvents();
    writes.clear();
    open();
    const QCheckBox* reopened[] = {form()->useTrashCheckbox, form()->useDeleteQueueCheckbox,
                                   form()->deleteOriginalCheckbox, form()->showHiddenFilesCheckbox,
                                   form()->showSystemFilesCheckbox};
    for (size_t i = 0; i < boxes.size(); ++i) EXPECT_EQ(reopened[i]->isChecked(), states[i]) << i;
    // A change from elsewhere refills the pane: only that change is written.
    prefs().setUseDeleteQueue(!prefs().useDeleteQueue());
    EXPECT_EQ(form()->useDeleteQueueCheckbox->isChecked(), prefs().useDeleteQueue());
    EXPECT_EQ(writes.count(), 1);
}

// The toolbar's pane items switch the pane however they are triggered: a click, or the press
// or toggle action of the accessibility interface.
TEST_F(PreferencesWindowTest, ToolbarItemsSwitchPanesThroughAssistiveTechnology)
{
    open();
    QToolBar* toolbar = form()->toolbar;
    const struct {
        QAction* item;
        QString identifier;
        std::function<QWidget*()> pane;
    } items[] = {
        {form()->colorThemeItem, TQPreferencesWindowController::ColorThemeIdentifier,
         [this] { return wc->colorThemeViewController() ? wc->colorThemeViewController()->view() : nullptr; }},
        {form()->aboutItem, TQPreferencesWindowController::AboutIdentifier,
         [this] { return wc->aboutViewController() ? wc->aboutViewController()->view() : nullptr; }},
        {form()->generalItem, TQPreferencesWindowController::GeneralIdentifier, [this] { return form()->generalView; }},
    };
    int actionsRun = 0;
    for (const QString& action :
         {QAccessibleActionInterface::pressAction(), QAccessibleActionInterface::toggleAction()}) {
        for (const auto& item : items) {
            SCOPED_TRACE((action + QLatin1Char(' ') + item.identifier).toStdString());
            QWidget* button = toolbar->widgetForAction(item.item);
            ASSERT_NE(button, nullptr);
            if (!doAccessibleAction(button, action)) continue;
            ++actionsRun;
            // A press is an animated click: it lands a moment later.
            kztest::waitFor([&] { return wc->selectedToolbarItemIdentifier() == item.identifier; });
            env.clock.advance(1);
            EXPECT_EQ(wc->selectedToolbarItemIdentifier(), item.identifier);
            ASSERT_NE(item.pane(), nullptr);
            EXPECT_EQ(wc->currentView(), item.pane());
            EXPECT_TRUE(item.item->isChecked());
            for (const auto& other : items)
                EXPECT_TRUE(other.item == item.item || !other.item->isChecked()) << other.identifier.toStdString();
        }
    }
    EXPECT_GE(actionsRun, 3);
}

// Text set through the accessibility interface (as dictation does) writes like typing.
TEST_F(PreferencesWindowTest, TextSetByAssistiveTechnologyWritesTheSettings)
{
    open();
    QAccessibleInterface* size = QAccessible::queryAccessibleInterface(form()->fileSizeTextField);
    ASSERT_NE(size, nullptr);
    size->setText(QAccessible::Value, QStringLiteral("20"));
    EXPECT_EQ(prefs().minFileSize(), 20000.0);
    QAccessibleInterface* extensions = QAccessible::queryAccessibleInterface(form()->ignoredExtensionsField);
    ASSERT_NE(extensions, nullptr);
    extensions->setText(QAccessible::Value, QStringLiteral("ISO, .log"));
    EXPECT_EQ(prefs().ignoreList(), (QStringList{"iso", "log"}));
    std::unique_ptr<KZUserDefaults> store;
    const auto stored = reread(store);
    EXPECT_EQ(stored->minFileSize(), 20000.0);
    EXPECT_EQ(stored->ignoreList(), (QStringList{"iso", "log"}));
}

TEST_F(PreferencesWindowTest, OpeningAndBrowsingTheWindowWritesNoSetting)
{
    // Something stored first, so the file exists and every later write would rewrite it.
    prefs().setShowHiddenFiles(true);
    prefs().setMinFileSize(1500);
    prefs().setIgnoreList(QStringList{QStringLiteral("iso")});
    const QString file = KZUserDefaults::standardUserDefaults().filePath();
    const QByteArray before = fileBytes(file);
    QSignalSpy writes(&prefs(), &Preferences::propertyChanged);

    open();
    wc->openColorTheme();
    wc->openAbout();
    wc->openGeneral();
    env.clock.advance(1);
    wc->updateUI();
    form()->fileSizeTextField->setFocus();
    form()->ignoredExtensionsField->setFocus(); // the size field's editing ends
    wc->window()->close();
    QApplication::processEvents();

    EXPECT_EQ(writes.count(), 0);
    EXPECT_EQ(fileBytes(file), before);
    EXPECT_EQ(prefs().minFileSize(), 1500);
}

TEST_F(PreferencesWindowTest, SizeIsStoredInBytesOfTheChosenUnit)
{
    open();
    ASSERT_EQ(form()->fileSizeDropdown->currentIndex(), 1); // KB
    typeSize(QStringLiteral("50"));
    EXPECT_EQ(prefs().minFileSize(), 50000.0);

    // Only the unit: the size stays until the text changes again.
    form()->fileSizeDropdown->setFocus();
    QTest::keyClick(form()->fileSizeDropdown, Qt::Key_Down);
    EXPECT_EQ(prefs().minFileSizeType(), 2);
    EXPECT_EQ(prefs().minFileSize(), 50000.0);

    typeSize(QStringLiteral("1.5"));
    EXPECT_EQ(prefs().minFileSize(), 1'500'000.0);
    // Read as a double: 1.1 MB is exactly 1,100,000 bytes (in single precision it is not).
    typeSize(QStringLiteral("1.1"));
    EXPECT_EQ(prefs().minFileSize(), 1'100'000.0);
    typeSize(QStringLiteral("0"));
    EXPECT_EQ(prefs().minFileSize(), 0.0);
}

TEST_F(PreferencesWindowTest, SizeFieldShowsWholeUnitsOfTheStoredUnit)
{
    prefs().setMinFileSize(1500);
    prefs().setMinFileSizeType(1);
    open();
    EXPECT_EQ(form()->fileSizeTextField->text(), QStringLiteral("1"));
    EXPECT_EQ(form()->fileSizeDropdown->currentText(), QStringLiteral("KB"));

    // 5,000,000 bytes shown in KB stay in KB: 5000, not 5 beside a "KB" pop-up.
    prefs().setMinFileSize(5'000'000);
    wc->updateUI();
    EXPECT_EQ(form()->fileSizeTextField->text(), QStringLiteral("5000"));
    EXPECT_EQ(form()->fileSizeDropdown->currentText(), QStringLiteral("KB"));
    EXPECT_EQ(TQPreferencesWindowController::minimumSizeText(123'456'789, 0), QStringLiteral("123456789"));
}

TEST_F(PreferencesWindowTest, NegativeAndNonNumericSizesAreRefused)
{
    prefs().setMinFileSize(50000);
    open();
    QSignalSpy writes(&prefs(), &Preferences::minFileSizeChanged);
    for (const char* text : {"-5", "nan", "inf", "-inf", "abc", "", "   "}) {
        typeSize(QString::fromLatin1(text));
        EXPECT_EQ(prefs().minFileSize(), 50000.0) << text;
    }
    EXPECT_EQ(writes.count(), 0);
    // Leaving the field puts the stored size back.
    Q_EMIT form()->fileSizeTextField->editingFinished();
    EXPECT_EQ(form()->fileSizeTextField->text(), QStringLiteral("50"));

    for (const char* text : {"-1", "NaN", "infinity", "1e400"})
        EXPECT_FALSE(TQPreferencesWindowController::parseMinimumSize(QString::fromLatin1(text), 1)) << text;
    EXPECT_FALSE(TQPreferencesWindowController::parseMinimumSize(QStringLiteral("1e300"), 6)); // overflows
    EXPECT_EQ(TQPreferencesWindowController::parseMinimumSize(QStringLiteral(" 2.5 "), 2), 2'500'000.0);
}

TEST_F(PreferencesWindowTest, ExtensionsAreTrimmedLowerCasedAndWithoutDots)
{
    open();
    QTest::keyClicks(form()->ignoredExtensionsField, QStringLiteral(" .ISO, Log  ..tmp;,DMG iso"));
    EXPECT_EQ(prefs().ignoreList(), (QStringList{"iso", "log", "tmp", "dmg"}));
    form()->ignoredExtensionsField->selectAll();
    QTest::keyClick(form()->ignoredExtensionsField, Qt::Key_Backspace);
    EXPECT_EQ(prefs().ignoreList(), QStringList());
}

TEST_F(PreferencesWindowTest, CheckBoxesWriteTheirSettingsAndTheQueueBoxMarksTheQuestionAsked)
{
    prefs().setUseDeleteQueue(true);
    ASSERT_FALSE(prefs().hasAskedToUseDeleteQueue());
    open();
    ASSERT_TRUE(form()->useDeleteQueueCheckbox->isChecked());
    clickCheckBox(form()->useDeleteQueueCheckbox);
    EXPECT_FALSE(prefs().useDeleteQueue());
    EXPECT_TRUE(prefs().hasAskedToUseDeleteQueue());

    clickCheckBox(form()->useTrashCheckbox);
    EXPECT_FALSE(prefs().useTrash());
    clickCheckBox(form()->deleteOriginalCheckbox);
    EXPECT_FALSE(prefs().deleteCompressedOriginal());
    clickCheckBox(form()->showHiddenFilesCheckbox);
    EXPECT_TRUE(prefs().showHiddenFiles());
    clickCheckBox(form()->showSystemFilesCheckbox);
    EXPECT_TRUE(prefs().showSystemFiles());

    // A change from elsewhere (the results screen's question) reloads the controls.
    prefs().setUseDeleteQueue(true);
    EXPECT_TRUE(form()->useDeleteQueueCheckbox->isChecked());
}

TEST_F(PreferencesWindowTest, DeleteKeysRemoveTheSelectedFolders)
{
    prefs().setIgnoredPaths(QStringList{"/a", "/b", "/c", "/d"});
    open();
    KZDeleteTableView* table = form()->ignoredTableView;
    ASSERT_EQ(wc->numberOfRows(), 4);

    table->setFocus();
    QTest::keyClick(table, Qt::Key_Delete); // nothing selected: nothing changes
    EXPECT_EQ(prefs().ignoredPaths(), (QStringList{"/a", "/b", "/c", "/d"}));

    table->selectionModel()->select(table->model()->index(0, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    table->selectionModel()->select(table->model()->index(2, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClick(table, Qt::Key_Delete);
    EXPECT_EQ(prefs().ignoredPaths(), (QStringList{"/b", "/d"}));
    EXPECT_EQ(wc->numberOfRows(), 2);

    table->selectRow(1);
    QTest::keyClick(table, Qt::Key_Backspace);
    EXPECT_EQ(prefs().ignoredPaths(), QStringList{"/b"});

    table->selectRow(0);
    QTest::mouseClick(form()->removeFolderButton, Qt::LeftButton);
    EXPECT_EQ(prefs().ignoredPaths(), QStringList());
    EXPECT_EQ(wc->numberOfRows(), 0);
}

TEST_F(PreferencesWindowTest, DroppedFoldersAreAddedByteExactlyAndAListedOneRefusesTheDrop)
{
    kztest::TempDir dir;
    const std::string plain = dir / "Downloads";
    const std::string odd = dir / std::string("caf\xe9 \xff\xfe", 7);
    kztest::makeDir(plain);
    kztest::makeDir(odd);
    prefs().setIgnoredPaths(QStringList{"/proc"});
    open();
    QWidget* target = form()->ignoredTableView->viewport();

    bool accepted = false;
    dropPaths(target, {plain, odd}, &accepted);
    EXPECT_TRUE(accepted);
    const QStringList stored = prefs().ignoredPaths().value_or(QStringList());
    ASSERT_EQ(stored.size(), 3);
    EXPECT_EQ(kz::pathFromQString(stored[1]), plain);
    EXPECT_EQ(kz::pathFromQString(stored[2]), odd);
    EXPECT_EQ(wc->numberOfRows(), 3);

    // The bytes survive the settings file.
    prefs().populateProperties();
    EXPECT_EQ(kz::pathFromQString(prefs().ignoredPaths()->at(2)), odd);

    // One listed path refuses the whole drop.
    const std::string fresh = dir / "Music";
    kztest::makeDir(fresh);
    dropPaths(target, {fresh, odd}, &accepted);
    EXPECT_FALSE(accepted);
    EXPECT_EQ(prefs().ignoredPaths()->size(), 3);
    EXPECT_FALSE(wc->validateDrop({"/proc"}));
    EXPECT_TRUE(wc->validateDrop({"/proc/"})); // compared exactly
    EXPECT_FALSE(wc->validateDrop({}));
}

TEST_F(PreferencesWindowTest, FoldersChosenInThePanelAreAdded)
{
    kztest::TempDir dir;
    const std::string projects = dir / "Projects";
    const std::string music = dir / "Music";
    kztest::makeDir(projects);
    kztest::makeDir(music);
    prefs().setIgnoredPaths(QStringList());
    open();
    wc->addFolder();
    auto* panel = wc->window()->findChild<QFileDialog*>();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->windowModality(), Qt::WindowModal);
    auto* list = panel->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    panel->setDirectory(QString::fromStdString(dir.path()));
    // Two folders chosen at once, as the panel's name field lists them.
    auto* name = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->setText(QStringLiteral("\"Projects\" \"Music\""));
    static_cast<QDialog*>(panel)->accept();
    EXPECT_EQ(prefs().ignoredPaths(), (QStringList{QString::fromStdString(projects), QString::fromStdString(music)}));

    // Cancelled: nothing.
    wc->addFolder();
    panel = nullptr;
    for (auto* p : wc->window()->findChildren<QFileDialog*>())
        if (p->isVisible()) panel = p;
    ASSERT_NE(panel, nullptr);
    panel->reject();
    EXPECT_EQ(prefs().ignoredPaths()->size(), 2);

    // A name the panel could not hand back exactly names nothing: reported, not stored.
    const QString altered = QString::fromStdString(dir.path()) + QStringLiteral("/caf\uFFFD");
    wc->openPanelDidEnd({altered});
    EXPECT_EQ(prefs().ignoredPaths()->size(), 2);
    ASSERT_EQ(env.alerts.service.shown().size(), 1u);
    EXPECT_TRUE(env.alerts.service.shown()[0].alert.informativeText.contains(altered));
}

TEST_F(PreferencesWindowTest, ColorThemePaneListsTheThemesAndWritesOnChoice)
{
    prefs().setSelectedThemeName(QStringLiteral("Melon"));
    prefs().setUseDepth(false);
    open();
    wc->openColorTheme();
    auto* pane = wc->colorThemeViewController();
    ASSERT_NE(pane, nullptr);
    auto* themes = pane->ui()->themeDropDownButton;
    QStringList names;
    for (int i = 0; i < themes->count(); ++i) names << themes->itemText(i);
    EXPECT_EQ(names, (QStringList{"Blue Skies", "Rainbow", "Obsidian", "Melon", "Sunrise"}));
    EXPECT_EQ(themes->currentText(), QStringLiteral("Melon"));
    EXPECT_EQ(pane->ui()->calcOptionsDropdown->currentIndex(), 0);
    EXPECT_EQ(pane->ui()->themeSwatchView->theme()->name(), QStringLiteral("Melon"));

    themes->setCurrentIndex(1);
    Q_EMIT themes->activated(1);
    EXPECT_EQ(prefs().selectedThemeName(), QStringLiteral("Rainbow"));
    EXPECT_EQ(pane->ui()->themeSwatchView->theme()->name(), QStringLiteral("Rainbow"));
    pane->ui()->calcOptionsDropdown->setCurrentIndex(1);
    Q_EMIT pane->ui()->calcOptionsDropdown->activated(1);
    EXPECT_TRUE(prefs().useDepth());

    // A name no theme has selects nothing.
    prefs().setSelectedThemeName(QStringLiteral("Tangerine"));
    auto other = ::controller<TQColorThemeViewController>();
    other->view();
    EXPECT_EQ(other->ui()->themeDropDownButton->currentIndex(), -1);
}

TEST_F(PreferencesWindowTest, AboutPaneShowsTheBuildsNameVersionAndYear)
{
    open();
    wc->openAbout();
    auto* about = wc->aboutViewController();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->ui()->appNameLabel->text(), QStringLiteral("Sizemere"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Version \\d+(\\.\\d+)+$"))
                    .match(about->ui()->appVersionLabel->text())
                    .hasMatch())
        << about->ui()->appVersionLabel->text().toStdString();
    const QString notice = about->ui()->copyrightLabel->text();
    EXPECT_FALSE(notice.contains(QStringLiteral("CURRENT_YEAR")));
    EXPECT_TRUE(notice.contains(QString::number(QDate::currentDate().year())));
    EXPECT_EQ(KZAboutViewController::noticeForYear(QStringLiteral("No year here."), 2031),
              QStringLiteral("No year here."));
    EXPECT_EQ(KZAboutViewController::noticeForYear(QStringLiteral("CURRENT_YEAR-CURRENT_YEAR"), 2031),
              QStringLiteral("2031-2031"));

    for (QPushButton* link :
         {about->ui()->faqButton, about->ui()->fanButton, about->ui()->twitterButton, about->ui()->zandrelButton})
        QTest::mouseClick(link, Qt::LeftButton);
    const std::vector<QUrl> expected{QUrl(TQWebAddresses::supportPage), QUrl(TQWebAddresses::socialNetworkPage),
                                     QUrl(TQWebAddresses::microblogPage), QUrl(TQWebAddresses::makerSite)};
    EXPECT_EQ(env.workspace.urls, expected);
}

TEST_F(PreferencesWindowTest, AboutFromTheMenuSetsGeneralFirstThenFadesAboutIn)
{
    wc = ::controller<TQPreferencesWindowController>();
    wc->window()->hide();
    wc->openAbout(false); // the application delegate's About, on a window not loaded before
    EXPECT_EQ(wc->selectedToolbarItemIdentifier(), QStringLiteral("About"));
    QWidget* about = wc->aboutViewController()->view();
    EXPECT_EQ(wc->currentView(), about);
    EXPECT_TRUE(form()->generalView->isHidden());
    const int toolbar = form()->toolbar->sizeHint().height();
    EXPECT_EQ(wc->window()->size(), QSize(580, 330 + toolbar));

    // The pane fades in over 0.1 s on the program's clock.
    ASSERT_NE(about->graphicsEffect(), nullptr);
    env.clock.advance(0.05);
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(about->graphicsEffect());
    ASSERT_NE(effect, nullptr);
    EXPECT_GT(effect->opacity(), 0.2);
    EXPECT_LT(effect->opacity(), 0.8);
    env.clock.advance(0.05);
    EXPECT_EQ(about->graphicsEffect(), nullptr);

    // The same pane again does nothing; General comes back at its own size.
    wc->openAbout();
    EXPECT_EQ(about->graphicsEffect(), nullptr);
    wc->openGeneral();
    EXPECT_EQ(wc->currentView(), form()->generalView);
    EXPECT_EQ(wc->window()->size(), QSize(580, 500 + toolbar));
}

TEST_F(PreferencesWindowTest, ReleasedOnALaterTurnAfterItsWindowCloses)
{
    // As the application delegate holds it.
    QPointer<TQPreferencesWindowController> held = ::controller<TQPreferencesWindowController>().release();
    QObject::connect(held.data(), &KZWindowController::willClose, held.data(), [&held] {
        TQPreferencesWindowController* released = held.data();
        held = nullptr;
        released->deleteLater();
    });
    QPointer<TQPreferencesWindowController> watch = held.data();
    held->showWindow();
    held->openColorTheme(); // a fade under way when the window goes
    QPointer<QWidget> window = watch->window();
    window->close();
    EXPECT_FALSE(watch.isNull()); // not inside the close
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
    EXPECT_TRUE(window.isNull());
    env.clock.advance(1);
    prefs().setIgnoredPaths(QStringList{"/x"}); // nobody left observing
    prefs().setUseDeleteQueue(true);
}

TEST_F(PreferencesWindowTest, Screenshots)
{
    KZAppearance::install();
    prefs().setIgnoreList(QStringList{"iso", "log", "tmp"});
    prefs().setIgnoredPaths(QStringList{"/proc", "/sys", "/dev", "/run", "/home/ada/.cache",
                                        "/home/ada/Videos/Archive/2019 holiday footage (raw)"});
    const QString folder = kztest::outputFolder() + QStringLiteral("/app");
    QDir().mkpath(folder);
    open();
    auto save = [&](const char* name) {
        env.clock.advance(1);
        // The window's animated resize runs on real time: wait for it to end.
        kztest::waitFor([&] {
            for (auto* animation : wc->window()->findChildren<QPropertyAnimation*>())
                if (animation->state() == QAbstractAnimation::Running) return false;
            return true;
        });
        QApplication::processEvents();
        const QImage image = wc->window()->grab().toImage();
        EXPECT_TRUE(image.save(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png")));
    };
    form()->ignoredTableView->selectRow(4);
    save("preferences-general");
    wc->openColorTheme();
    save("preferences-colortheme");
    wc->openAbout();
    save("preferences-about");
}
