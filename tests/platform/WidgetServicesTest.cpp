#include "platform/KZCollections.h"
#include "platform/KZColorUtilities.h"
#include "platform/KZFileAccess.h"
#include "platform/KZNotifier.h"
#include "platform/widgets/KZAlertService.h"
#include "platform/widgets/KZApplicationServices.h"
#include "platform/widgets/KZSound.h"
#include "platform/widgets/KZWindowUtilities.h"
#include "platform/widgets/KZWorkspace.h"
#include "tests/support/Accessibility.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

TEST(Colors, HueSaturationBrightness)
{
    const QColor c = kz_colorWithEasyHue(180, 50, 100);
    EXPECT_NEAR(c.hsvHueF(), 0.5, 1e-3);
    EXPECT_NEAR(c.hsvSaturationF(), 0.5, 1e-3);
    EXPECT_NEAR(c.valueF(), 1.0, 1e-3);
    EXPECT_NEAR(c.alphaF(), 1.0, 1e-6);
}

TEST(Colors, LuminanceAndLegibleText)
{
    EXPECT_TRUE(kz_isDarkColor(Qt::black));
    EXPECT_FALSE(kz_isDarkColor(Qt::white));
    EXPECT_NEAR(kz_luminance(Qt::white), 1.0, 1e-3);
    EXPECT_NEAR(kz_luminance(QColor::fromRgbF(0.5f, 0.5f, 0.5f)), 0.5339, 2e-3);
    EXPECT_EQ(kz_luminance(QColor()), 0.0);
    const QColor onBlack = kz_legibleTextColor(Qt::black);
    EXPECT_NEAR(onBlack.redF(), 1.0, 1e-3);
    EXPECT_NEAR(onBlack.alphaF(), 0.9, 1e-3);
    const QColor onWhite = kz_legibleTextColor(Qt::white);
    EXPECT_NEAR(onWhite.valueF(), 0.2, 1e-3);
    EXPECT_NEAR(onWhite.alphaF(), 1.0, 1e-3);
}

TEST(Collections, Chunks)
{
    auto sizes = [](const std::vector<std::vector<int>>& chunks) {
        std::vector<size_t> s;
        for (auto& c : chunks) s.push_back(c.size());
        return s;
    };
    auto range = [](int n) {
        std::vector<int> v(size_t(n), 0);
        for (int i = 0; i < n; ++i) v[size_t(i)] = i;
        return v;
    };
    EXPECT_TRUE(kz::chunkyArray(range(0), 50).empty());
    EXPECT_EQ(sizes(kz::chunkyArray(range(50), 50)), (std::vector<size_t>{50}));
    EXPECT_EQ(sizes(kz::chunkyArray(range(51), 50)), (std::vector<size_t>{50, 1}));
    EXPECT_EQ(sizes(kz::chunkyArray(range(120), 50)), (std::vector<size_t>{50, 50, 20}));
    const auto odd = kz::chunkyArray<int>(range(7), 2, [](const int& v) -> std::optional<int> {
        return v % 2 ? std::optional<int>(v) : std::nullopt;
    });
    EXPECT_EQ(odd, (std::vector<std::vector<int>>{{1, 3}, {5}}));
    EXPECT_FALSE(kz::dictionaryByReplacingObject({{"a", 1}}, QVariant(), "a").has_value());
    EXPECT_EQ(kz::dictionaryByMergingWithDictionary({{"a", 1}, {"b", 2}}, {{"b", 3}}).value("b").toInt(), 3);
    EXPECT_TRUE(kz::dictionaryContainsObject({{"a", 1}}, 1));
}

TEST(AlertService, SheetsShowOnALaterTurnAndAnswerWithTheButtonIndex)
{
    QWidget window;
    window.resize(400, 300);
    window.show();
    KZAlert alert;
    alert.messageText = "Delete?";
    alert.buttons = {"Delete", "Cancel"};
    alert.showsSuppressionButton = true;
    std::optional<KZAlertResult> result;
    kz_beginSheetModalForWindow(alert, &window, [&](const KZAlertResult& r) { result = r; });
    EXPECT_EQ(window.findChild<QMessageBox*>(), nullptr);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(kztest::waitFor([&] { return (box = window.findChild<QMessageBox*>()) != nullptr; }));
    EXPECT_EQ(box->text(), "Delete?");
    // A reader names every part of it, the icon by the kind of alert.
    EXPECT_TRUE(kztest::unnamedAccessibleObjects(box).isEmpty())
        << kztest::unnamedAccessibleObjects(box).join(QLatin1Char('\n')).toStdString();
    EXPECT_NE(kztest::findAccessible(box, QAccessible::Graphic, QStringLiteral("Warning")), nullptr);
    box->checkBox()->setChecked(true);
    ASSERT_EQ(box->buttons().size(), 2);
    box->buttons()[1]->click();
    ASSERT_TRUE(kztest::waitFor([&] { return result.has_value(); }));
    EXPECT_EQ(result->response, KZAlertSecondButtonReturn);
    EXPECT_TRUE(result->suppressionState);
}

TEST(AlertService, ScriptedServiceRecordsAndAnswers)
{
    KZScopedAlertService scoped;
    scoped.service.answerNext(KZAlertSecondButtonReturn, true);
    KZAlert a;
    a.messageText = "Q";
    std::optional<KZAlertResult> r;
    kz_beginSheetModalForWindow(a, nullptr, [&](const KZAlertResult& res) { r = res; });
    EXPECT_FALSE(r);
    ASSERT_TRUE(kztest::waitFor([&] { return r.has_value(); }));
    EXPECT_EQ(r->response, KZAlertSecondButtonReturn);
    EXPECT_TRUE(r->suppressionState);
    EXPECT_EQ(KZAlertService::shared().runModal(a).response, KZAlertFirstButtonReturn);
    EXPECT_EQ(scoped.service.shown().size(), 2u);
}

TEST(AlertService, AModalAlertTheProgramEndsAnswersAbort)
{
    // The program ends the alert it showed; an alert that nobody ends waits for its answer.
    KZMessageBoxAlertService real;
    KZAlert alert;
    alert.messageText = "Still working";
    alert.buttons = {"Okay"};
    bool seen = false;
    bool stillUp = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(kztest::waitFor([] { return QApplication::activeModalWidget() != nullptr; }));
        seen = true;
        real.abortModal(alert);
        // An alert still showing now was not ended: close it so the test goes on.
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            stillUp = true;
            box->reject();
        }
    });
    EXPECT_EQ(real.runModal(alert).response, KZModalResponseAbort);
    EXPECT_TRUE(seen);
    EXPECT_FALSE(stillUp);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    real.abortModal(alert); // not showing: nothing to do

    // Another alert shown above it stays, with its own answer to come.
    KZAlert above;
    above.messageText = "Rate it?";
    above.buttons = {"Rate", "No Thanks"};
    int aboveResponse = 0;
    bool aboveStayed = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(kztest::waitFor([] { return QApplication::activeModalWidget() != nullptr; }));
        QTimer::singleShot(0, [&] {
            ASSERT_TRUE(kztest::waitFor([&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                return box && box->text() == above.messageText;
            }));
            real.abortModal(alert);
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            aboveStayed = box && box->text() == above.messageText;
            if (box) QTest::keyClick(box, Qt::Key_Escape);
        });
        aboveResponse = real.runModal(above).response;
    });
    EXPECT_EQ(real.runModal(alert).response, KZModalResponseAbort);
    EXPECT_TRUE(aboveStayed);
    EXPECT_EQ(aboveResponse, KZAlertSecondButtonReturn);

    // The scripted service: only an alert showing (while its hook runs) can be ended, and only
    // by naming it.
    KZScriptedAlertService scripted;
    scripted.abortModal(alert);
    EXPECT_EQ(scripted.runModal(alert).response, KZAlertFirstButtonReturn);
    scripted.setWhileModal([&] {
        EXPECT_EQ(scripted.runModal(above).response, KZAlertFirstButtonReturn);
        scripted.abortModal(above);
    });
    EXPECT_EQ(scripted.runModal(alert).response, KZAlertFirstButtonReturn);
    scripted.setWhileModal([&] { scripted.abortModal(alert); });
    EXPECT_EQ(scripted.runModal(alert).response, KZModalResponseAbort);
    ASSERT_EQ(scripted.shown().size(), 4u);
    EXPECT_EQ(scripted.shown()[3].response, KZModalResponseAbort);
}

TEST(WindowUtilities, ContentResizingKeepsTopAndCentre)
{
    QWidget w;
    w.setGeometry(300, 100, 400, 300);
    kz_setContentSize(&w, QSize(440, 400), false);
    EXPECT_EQ(w.geometry(), QRect(280, 100, 440, 400));
    kz_removeResizing(&w);
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    kz_makeResizable(&w);
    EXPECT_NE(w.minimumSize(), w.maximumSize());
}

TEST(Workspace, IconsArriveOnTheMainThreadOnlyForLivingContexts)
{
    kztest::TempDir dir;
    kztest::makeFile(dir / "a.txt", 3);
    EXPECT_EQ(kz_iconNameForFile(dir.path()), "folder");
    EXPECT_EQ(kz_iconNameForFile(dir / "a.txt"), "text-plain");
    bool got = false;
    QObject context;
    kz_asyncIconForFile(dir / "a.txt", &context, [&](const QIcon&) { got = true; });
    ASSERT_TRUE(kztest::waitFor([&] { return got; }));
    bool late = false;
    auto gone = std::make_unique<QObject>();
    kz_asyncIconForFile(dir / "a.txt", gone.get(), [&](const QIcon&) { late = true; });
    gone.reset();
    kztest::drainBackgroundWork(); // the lookup has ended and what it sent has been handled
    EXPECT_FALSE(late);
}

TEST(Workspace, IconsReadAtOnceForItemsAndTypes)
{
    kztest::TempDir dir;
    kztest::makeFile(dir / "a.txt", 3);
    EXPECT_FALSE(kz_iconForFile(dir.path()).isNull());
    EXPECT_FALSE(kz_iconForFile(dir / "a.txt").isNull());
    EXPECT_FALSE(kz_iconForFile(dir / "missing").isNull()); // the generic icon
    EXPECT_FALSE(kz_iconForFileType(QStringLiteral("zip")).isNull());
}

TEST(FileAccess, DeletableNeedsAnItemAndAWritableFolder)
{
    kztest::TempDir dir;
    kztest::makeFile(dir / "a", 1);
    kztest::makeSymlink(dir / "nowhere", dir / "dangling");
    EXPECT_TRUE(kz_isDeletableFileAtPath(dir / "a"));
    EXPECT_TRUE(kz_isDeletableFileAtPath(dir / "dangling")); // the link itself
    EXPECT_FALSE(kz_isDeletableFileAtPath(dir / "missing"));
    EXPECT_FALSE(kz_isDeletableFileAtPath("/"));
    EXPECT_FALSE(kz_isDeletableFileAtPath("relative/a"));
    EXPECT_FALSE(kz_isDeletableFileAtPath(""));

    kz::setDeletableCheckForTesting([](const std::string& p) { return p.back() != 'a'; });
    EXPECT_FALSE(kz_isDeletableFileAtPath(dir / "a"));
    kz::setDeletableCheckForTesting(nullptr);
    EXPECT_TRUE(kz_isDeletableFileAtPath(dir / "a"));
}

TEST(ApplicationServices, BeepAndNotificationsGoThroughTheSharedServices)
{
    KZScopedApplicationServices app;
    kz_beep();
    kz_beep();
    EXPECT_EQ(app.services.beeps, 2);

    KZScopedNotifier notifier;
    KZNotifier::shared().deliver({QStringLiteral("Sizemere"), QStringLiteral("Finished scanning: a"), {}, {}, true});
    ASSERT_EQ(notifier.notifier.delivered.size(), 1u);
    EXPECT_EQ(notifier.notifier.delivered[0].subtitle, QStringLiteral("Finished scanning: a"));
}

TEST(ApplicationServices, TheRealNotifierIsSilentWithoutANotificationServer)
{
    KZDBusNotifier notifier;
    notifier.deliver({QStringLiteral("Sizemere"), QStringLiteral("x"), {}, QStringLiteral("View"), false});
    // Nothing to assert: without a bus or a server the delivery must neither block, nor
    // throw, nor crash; the sanitizer build checks that it touches no freed memory.
    SUCCEED();
}

TEST(Sound, TheChimeIsBundled)
{
    KZSound* s = kz_triToneSound();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s, kz_triToneSound());
    // Our own chime, read whole into memory: a RIFF WAVE file of about a second.
    EXPECT_TRUE(s->data().startsWith("RIFF"));
    EXPECT_EQ(s->data().mid(8, 4), "WAVE");
    EXPECT_GT(s->data().size(), 40000);
    kz_playTriTone(); // silent without a sound server, never an error
}
