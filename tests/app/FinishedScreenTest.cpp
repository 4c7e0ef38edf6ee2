#include "app/KZFinishedViewController.h"
#include "app/TQRunTotals.h"
#include "app/TQWebAddresses.h"
#include "kit/KZButton.h"
#include "kit/KZSpaceLabel.h"
#include "kit/KZView.h"
#include "platform/widgets/KZAppearance.h"
#include "platform/widgets/KZCHappinessManager.h"
#include "platform/widgets/KZCore.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"
#include "ui_KZFinishedViewController.h"

#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

struct Screen {
    std::unique_ptr<KZFinishedViewController> controller;
    Ui::KZFinishedViewController* form;
    explicit Screen(double freed, qint64 compressed)
        : controller(KZFinishedViewController::controllerWithTotalFreed(freed, compressed))
    {
        controller->view();
        form = controller->ui();
    }
};

int promptsShown(const kztest::ScreenTestEnvironment& env)
{
    int n = 0;
    for (const auto& shown : env.alerts.service.shown())
        if (shown.alert.messageText == KZCHappinessManager::PromptMessage) ++n;
    return n;
}

QString decodedQueryValue(const QUrl& url, const QString& key)
{
    return QUrlQuery(url).queryItemValue(key, QUrl::FullyDecoded);
}

} // namespace

TEST(FinishedScreen, CompressedRowIsTakenOutAndTheBoxShrinksAboutItsMiddle)
{
    kztest::ScreenTestEnvironment env;
    Screen none(2e6, 0), one(2e6, 1), two(2e6, 2);

    const int h = one.form->compressedContainer->height();
    ASSERT_GT(h, 0);
    EXPECT_TRUE(none.form->compressedContainer->isHidden());
    EXPECT_FALSE(one.form->compressedContainer->isHidden());

    const QRect full = one.form->containerView->geometry();
    const QRect shrunk = none.form->containerView->geometry();
    EXPECT_EQ(shrunk.height(), full.height() - h);
    EXPECT_EQ(shrunk.top(), full.top() + h / 2);       // top edge down by H/2
    EXPECT_EQ(shrunk.bottom(), full.bottom() - h / 2); // bottom edge up by H/2
    EXPECT_EQ(shrunk.x(), full.x());
    EXPECT_EQ(none.form->buttonContainerView->y(), one.form->buttonContainerView->y() - h / 2);
    // The gap between the box and the buttons stays.
    EXPECT_EQ(none.form->buttonContainerView->y() - shrunk.bottom(),
              one.form->buttonContainerView->y() - full.bottom());

    EXPECT_EQ(one.form->totalCompressedLabel->stringValue(), QStringLiteral("1"));
    EXPECT_EQ(one.form->compressedSubtitleLabel->text(), QStringLiteral("file/folder compressed"));
    EXPECT_EQ(two.form->totalCompressedLabel->stringValue(), QStringLiteral("2"));
    EXPECT_EQ(two.form->compressedSubtitleLabel->text(), QStringLiteral("files/folders compressed"));
}

TEST(FinishedScreen, LateTotalsUpdateTheFiguresAndBringTheCompressedRowBack)
{
    // Work still running when the run finished reports while the screen shows.
    kztest::ScreenTestEnvironment env;
    KZAppearance::install();
    Screen late(0, 0), one(2e6, 1);
    late.controller->view()->resize(one.controller->view()->size());
    ASSERT_TRUE(late.form->compressedContainer->isHidden());
    late.controller->setTotals(2e6, 0);
    EXPECT_EQ(late.form->totalFreedLabel->stringValue(), one.form->totalFreedLabel->stringValue());
    EXPECT_TRUE(late.form->compressedContainer->isHidden());

    late.controller->setTotals(2e6, 1);
    EXPECT_FALSE(late.form->compressedContainer->isHidden());
    EXPECT_EQ(late.form->containerView->geometry(), one.form->containerView->geometry()) << "as if made with it";
    EXPECT_EQ(late.form->buttonContainerView->geometry(), one.form->buttonContainerView->geometry());
    EXPECT_EQ(late.form->totalCompressedLabel->stringValue(), QStringLiteral("1"));
    late.controller->setTotals(2e6, 2);
    EXPECT_EQ(late.form->totalCompressedLabel->stringValue(), QStringLiteral("2"));
    EXPECT_EQ(late.form->containerView->geometry(), one.form->containerView->geometry()) << "grown back once";
    EXPECT_EQ(late.controller->shareText(KZFinishedViewController::ShareMicroblog),
              one.controller->shareText(KZFinishedViewController::ShareMicroblog));

    // Reaching a gigabyte late starts the rating prompt once.
    late.controller->setTotals(3e9, 2);
    late.controller->setTotals(4e9, 2);
    env.clock.advance(1);
    EXPECT_EQ(promptsShown(env), 1);

    const QString folder = kztest::outputFolder() + QStringLiteral("/app");
    QDir().mkpath(folder);
    QWidget* view = late.controller->view();
    view->show();
    QApplication::processEvents();
    EXPECT_TRUE(view->grab().toImage().save(folder + QStringLiteral("/finished-late-totals.png")));
}

TEST(FinishedScreen, ShowsTheFreedTotalFromKilobytesUp)
{
    kztest::ScreenTestEnvironment env;
    Screen mb(1'500'000, 0), small(400, 0);
    EXPECT_EQ(mb.form->totalFreedLabel->stringValue(), QStringLiteral("1.5MB"));
    EXPECT_EQ(mb.controller->memoryArray().second, QStringLiteral("MB"));
    // Never "bytes": the screen's formatter starts at KB.
    EXPECT_EQ(small.form->totalFreedLabel->stringValue(), QStringLiteral("0.4KB"));
}

TEST(FinishedScreen, RatingPromptStartsHalfASecondAfterAGigabyteWhileTheScreenLives)
{
    kztest::ScreenTestEnvironment env;
    {
        Screen below(999'999'999, 0);
        env.clock.advance(5);
        EXPECT_EQ(promptsShown(env), 0);
    }
    {
        Screen at(1'000'000'000, 0);
        env.clock.advance(0.49);
        EXPECT_EQ(promptsShown(env), 0);
        env.clock.advance(0.01);
        EXPECT_EQ(promptsShown(env), 1);
    }
    env.alerts.service.clear();
    KZUserDefaults::standardUserDefaults().removeObject(KZCHappinessManager::PromptAnsweredKey);
    {
        // The screen goes before the prompt is due: no prompt, ever.
        auto gone = std::make_unique<Screen>(5e9, 0);
        env.clock.advance(0.3);
        gone.reset();
        env.clock.advance(5);
        EXPECT_EQ(promptsShown(env), 0);
    }
    {
        // A gigabyte gone while the run still deletes asks nothing over the work still going;
        // the prompt comes once it has ended, once.
        Screen running(0, 0);
        TQRunTotals totals;
        totals.deleting = 1;
        totals.freed = totals.goneBytes = 1.5e9;
        totals.leftBytes = 0.5e9;
        running.controller->setRunTotals(totals);
        totals.freed = totals.goneBytes = 1.9e9;
        totals.leftBytes = 0.1e9;
        running.controller->setRunTotals(totals);
        env.clock.advance(5);
        EXPECT_EQ(promptsShown(env), 0);
        totals = {};
        totals.freed = 2e9;
        running.controller->setRunTotals(totals);
        env.clock.advance(0.49);
        EXPECT_EQ(promptsShown(env), 0);
        env.clock.advance(0.01);
        EXPECT_EQ(promptsShown(env), 1);
        KZUserDefaults::standardUserDefaults().removeObject(KZCHappinessManager::PromptAnsweredKey);
        totals.freed = 0.5e9;
        running.controller->setRunTotals(totals);
        totals.freed = 3e9;
        running.controller->setRunTotals(totals);
        env.clock.advance(5);
        EXPECT_EQ(promptsShown(env), 1);
    }
}

TEST(FinishedScreen, ShareTextsNameTheAmountWithoutDecimalsOrNoAmountAtAll)
{
    kztest::ScreenTestEnvironment env;
    const QString link = TQWebAddresses::productPage;

    Screen mb(1'500'000, 0);
    EXPECT_EQ(mb.controller->shareText(KZFinishedViewController::ShareSocialNetwork),
              QStringLiteral("I just cleared 2 MB using Sizemere for Linux. Check it out here: ") + link);
    EXPECT_EQ(mb.controller->shareText(KZFinishedViewController::ShareMicroblog),
              QStringLiteral("I just cleared 2 MB using Sizemere for Linux. Check it out here: ") + link +
                  QStringLiteral(" #sizemere #zandrel"));
    EXPECT_FALSE(mb.controller->shareText(KZFinishedViewController::ShareSocialNetwork).contains(QLatin1Char('#')));

    Screen gb(12.3e9, 0);
    EXPECT_TRUE(gb.controller->shareText(0).startsWith(QStringLiteral("I just cleared 12 GB ")));

    // Nothing freed, and an amount that prints as "0 KB": the sentence without an amount.
    const QString noAmount =
        QStringLiteral("I cleaned my computer using Sizemere for Linux. Check it out here: ") + link;
    Screen zero(0, 0), tiny(400, 0);
    EXPECT_EQ(zero.controller->shareText(0), noAmount);
    EXPECT_EQ(tiny.controller->shareText(0), noAmount);
    EXPECT_EQ(tiny.controller->shareText(1), noAmount + QStringLiteral(" #sizemere #zandrel"));
    Screen half(500, 0); // 0.5 KB rounds to an even 0
    EXPECT_EQ(half.controller->shareText(0), noAmount);
    Screen justOver(600, 0);
    EXPECT_TRUE(justOver.controller->shareText(0).startsWith(QStringLiteral("I just cleared 1 KB ")));
}

TEST(FinishedScreen, AFigureBelowZeroSaysTheDiskHoldsThatMuchMore)
{
    // Archives that outweigh what went: the run's figure is below 0, and the screen says the
    // disk holds that much more rather than showing a negative amount freed.
    kztest::ScreenTestEnvironment env;
    const QString noAmount = QStringLiteral("I cleaned my computer using Sizemere for Linux. Check it out here: ") +
                             TQWebAddresses::productPage;
    Screen grew(-218, 1), grewMore(-2'500'000, 0), zero(0, 1);
    EXPECT_EQ(grew.form->totalFreedLabel->stringValue(), QStringLiteral("0.2KB"));
    EXPECT_EQ(grew.form->totalFreedSubtitleLabel->text(), KZFinishedViewController::GrewCaption);
    EXPECT_EQ(grew.form->totalCompressedLabel->stringValue(), QStringLiteral("1")) << "it still counts as compressed";
    EXPECT_EQ(grewMore.form->totalFreedLabel->stringValue(), QStringLiteral("2.5MB"));
    EXPECT_EQ(grewMore.controller->shareText(0), noAmount);
    EXPECT_EQ(grew.controller->shareText(1), noAmount + QStringLiteral(" #sizemere #zandrel"));
    EXPECT_EQ(zero.form->totalFreedLabel->stringValue(), QStringLiteral("0.0KB"));
    EXPECT_EQ(zero.form->totalFreedSubtitleLabel->text(), KZFinishedViewController::FreedCaption);
    EXPECT_EQ(zero.controller->shareText(0), noAmount);

    // The caption follows the figure as late reports arrive.
    grew.controller->setTotals(1'500'000, 1);
    EXPECT_EQ(grew.form->totalFreedSubtitleLabel->text(), KZFinishedViewController::FreedCaption);
    EXPECT_EQ(grew.form->totalFreedLabel->stringValue(), QStringLiteral("1.5MB"));
    grew.controller->setTotals(-300, 2);
    EXPECT_EQ(grew.form->totalFreedSubtitleLabel->text(), KZFinishedViewController::GrewCaption);
    EXPECT_EQ(grew.form->totalFreedLabel->stringValue(), QStringLiteral("0.3KB"));
}

TEST(FinishedScreen, ShareButtonsOpenWebPagesWithTheTextEncodedWhole)
{
    kztest::ScreenTestEnvironment env;
    Screen screen(3'400'000'000, 0);
    screen.controller->view()->show();

    QTest::mouseClick(screen.form->tweetButton, Qt::LeftButton);
    ASSERT_EQ(env.workspace.urls.size(), 1u);
    const QUrl tweet = env.workspace.urls.back();
    EXPECT_EQ(tweet.host(), QStringLiteral("twitter.com"));
    EXPECT_FALSE(tweet.hasFragment()) << tweet.toString().toStdString();
    EXPECT_EQ(decodedQueryValue(tweet, QStringLiteral("text")), screen.controller->shareText(1));
    EXPECT_TRUE(tweet.toEncoded().contains("%23sizemere%20%23zandrel"));

    QTest::mouseClick(screen.form->likeButton, Qt::LeftButton);
    ASSERT_EQ(env.workspace.urls.size(), 2u);
    const QUrl like = env.workspace.urls.back();
    EXPECT_EQ(like.host(), QStringLiteral("www.facebook.com"));
    EXPECT_EQ(decodedQueryValue(like, QStringLiteral("u")), TQWebAddresses::productPage);

    QTest::mouseClick(screen.form->rateButton, Qt::LeftButton);
    ASSERT_EQ(env.workspace.urls.size(), 3u);
    EXPECT_EQ(env.workspace.urls.back(), KZCore::ratingPageURL());

    // Whatever the text holds, it reaches the page as one value.
    const QString awkward = QStringLiteral("a&b=c #tag +1 100% ü?x=y&z");
    const QUrl url = KZFinishedViewController::shareURLForText(KZFinishedViewController::ShareMicroblog, awkward);
    EXPECT_FALSE(url.hasFragment());
    EXPECT_EQ(QUrlQuery(url).queryItems().size(), 1);
    EXPECT_EQ(decodedQueryValue(url, QStringLiteral("text")), awkward);
    const QByteArray encoded = url.toEncoded();
    EXPECT_TRUE(encoded.contains("a%26b%3Dc%20%23tag%20%2B1%20100%25")) << encoded.toStdString();
}

TEST(FinishedScreen, Screenshots)
{
    kztest::ScreenTestEnvironment env;
    KZAppearance::install();
    const QString folder = kztest::outputFolder() + QStringLiteral("/app");
    QDir().mkpath(folder);
    const struct {
        const char* name;
        double freed;
        qint64 compressed;
    } shots[] = {
        {"finished-with-compressed", 4.27e9, 3}, {"finished-without-compressed", 1'500'000, 0},
        {"finished-large-amount", 123.45e12, 1}, {"finished-nothing-freed", 0, 0},
        {"finished-archives-outweigh", -218, 1},
    };
    for (const auto& shot : shots) {
        Screen screen(shot.freed, shot.compressed);
        QWidget* view = screen.controller->view();
        view->show();
        QApplication::processEvents();
        const QImage image = view->grab().toImage();
        EXPECT_FALSE(image.isNull());
        EXPECT_TRUE(image.save(folder + QLatin1Char('/') + QLatin1String(shot.name) + QStringLiteral(".png")));
    }
}

TEST(FinishedScreen, TheTrashLineAndTheRowOfWorkStillRunning)
{
    kztest::ScreenTestEnvironment env;
    KZAppearance::install();
    const QString folder = kztest::outputFolder() + QStringLiteral("/app");
    QDir().mkpath(folder);
    auto save = [&](Screen& screen, const char* name) {
        QWidget* view = screen.controller->view();
        view->show();
        QApplication::processEvents();
        EXPECT_TRUE(
            view->grab().toImage().save(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png")));
    };

    // Part of the figure in the Trash: said under it; none: no line, and the box as without it.
    TQRunTotals trashed;
    trashed.freed = 812.6e6;
    trashed.inTrash = 498e6;
    Screen withTrash(0, 0), plain(812.6e6, 0);
    withTrash.controller->setRunTotals(trashed);
    EXPECT_FALSE(withTrash.form->trashNoteLabel->isHidden());
    EXPECT_EQ(withTrash.form->trashNoteLabel->text(),
              QStringLiteral("498.0 MB of it is in the Trash.\nEmptying the Trash frees it."));
    EXPECT_EQ(withTrash.form->totalFreedLabel->stringValue(), QStringLiteral("812.6MB"));
    EXPECT_TRUE(plain.form->trashNoteLabel->isHidden());
    const int note = withTrash.form->trashNoteLabel->height();
    EXPECT_EQ(withTrash.form->containerView->height(), plain.form->containerView->height() + note);
    EXPECT_EQ(withTrash.form->buttonContainerView->y(), plain.form->buttonContainerView->y() + note / 2);
    save(withTrash, "finished-with-trash");
    save(plain, "finished-complete-no-trash");

    // More went to the Trash than the figure (archives took room): not "of it".
    TQRunTotals outweighed;
    outweighed.freed = -218;
    outweighed.inTrash = 300000;
    outweighed.compressed = 1;
    EXPECT_EQ(KZFinishedViewController::trashNote(outweighed),
              QStringLiteral("300.0 KB went to the Trash.\nEmptying the Trash frees it."));
    Screen grew(0, 0);
    grew.controller->setRunTotals(outweighed);
    EXPECT_EQ(grew.form->totalFreedSubtitleLabel->text(), KZFinishedViewController::GrewCaption);
    save(grew, "finished-archives-outweigh-with-trash");

    // Work still running: the row says what, what has gone and what is left; the bar is part way.
    TQRunTotals running;
    running.freed = 120.4e6;
    running.deleting = 1;
    running.goneBytes = 120.4e6;
    running.leftBytes = 289.2e6;
    running.progress = 0.3;
    Screen working(0, 0);
    working.controller->setRunTotals(running);
    EXPECT_FALSE(working.form->workingContainer->isHidden());
    EXPECT_EQ(working.form->workingLabel->text(), QStringLiteral("Still deleting: 120.4 MB gone, 289.2 MB left"));
    EXPECT_EQ(working.form->workingProgressBar->value(), 300);
    EXPECT_EQ(working.form->totalFreedSubtitleLabel->text(), QStringLiteral("freed on your disk so far"));
    EXPECT_TRUE(working.form->trashNoteLabel->isHidden());
    save(working, "finished-running");
    running.compressing = 1;
    running.compressed = 0;
    EXPECT_EQ(KZFinishedViewController::workingText(running),
              QStringLiteral("Still deleting and compressing: 120.4 MB gone, 289.2 MB left"));
    TQRunTotals zipping;
    zipping.compressing = 1;
    EXPECT_EQ(KZFinishedViewController::workingText(zipping), QStringLiteral("Still compressing"));

    // It ends: the row goes, the box is as if it had never run.
    running = TQRunTotals{};
    running.freed = 409.6e6;
    working.controller->setRunTotals(running);
    EXPECT_TRUE(working.form->workingContainer->isHidden());
    EXPECT_EQ(working.form->containerView->geometry(), plain.form->containerView->geometry());
    EXPECT_EQ(working.form->buttonContainerView->geometry(), plain.form->buttonContainerView->geometry());
    EXPECT_EQ(working.form->totalFreedSubtitleLabel->text(), KZFinishedViewController::FreedCaption);

    // Everything at once: running, in the Trash, compressed.
    TQRunTotals all;
    all.freed = 2.3e9;
    all.inTrash = 1.1e9;
    all.compressed = 2;
    all.deleting = 1;
    all.goneBytes = 0.8e9;
    all.leftBytes = 1.7e9;
    all.progress = 0.32;
    Screen everything(0, 0);
    everything.controller->setRunTotals(all);
    const QRect box = everything.form->containerView->geometry();
    EXPECT_GE(box.top(), 0);
    EXPECT_LT(everything.form->buttonContainerView->geometry().bottom(), everything.controller->view()->height());
    EXPECT_LT(box.bottom(), everything.form->buttonContainerView->y());
    save(everything, "finished-running-trash-compressed");
}
