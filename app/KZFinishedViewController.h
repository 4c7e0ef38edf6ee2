#pragma once
// The last screen of a run: the bytes freed and the items compressed, a rate button and two
// share buttons. The compressed row is taken out when nothing was compressed. Under the
// figure, a line says how much of it went to the Trash (no line when nothing did); while work
// of the run still runs, a row says so, with what has gone and what is left and a bar, and
// the figure follows the bytes as they go. When a gigabyte or more was freed, the maker's
// rating prompt starts half a second after the screen is set up, or after the work still
// running has ended (once per screen; dropped if the screen goes first). Sharing opens the networks' web pages with the text encoded whole into the query.
// The main window makes one per finished screen and adds its own button bar below the screen.

#include "app/TQRunTotals.h"
#include "app/TQViewController.h"
#include "kit/KZInterfaceFile.h"
#include "model/KZMemoryFormatter.h"

#include <QRect>
#include <QUrl>

#include <memory>
#include <utility>
#include <vector>

KZ_INTERFACE_CLASS(KZFinishedViewController)

class KZFinishedViewController : public TQViewController {
    Q_OBJECT
    KZ_INTERFACE_FILE(KZFinishedViewController)
public:
    enum ShareKind { ShareSocialNetwork = 0, ShareMicroblog = 1 };

    // A controller for these totals; its form loads (and the set-up runs) on the first view().
    static std::unique_ptr<KZFinishedViewController> controllerWithTotalFreed(double totalFreed,
                                                                              qint64 totalCompressed);

    // New totals while the screen shows (work that was still running when the run finished
    // has reported): the figures follow, the compressed row comes or goes, and the rating
    // prompt starts when the freed total has reached its threshold and nothing runs any more.
    void setTotals(double totalFreed, qint64 totalCompressed);
    // The run's figures as its ledger tells them: the totals as above, the Trash line and the
    // row of the work still running.
    void setRunTotals(const TQRunTotals& totals);
    const TQRunTotals& runTotals() const { return totals_; }

    double totalFreed() const { return totalFreed_; }
    qint64 totalCompressed() const { return totalCompressed_; }
    // The freed total scaled by the screen's formatter (minimum unit KB): value and unit. A
    // total below 0 (archives that outweigh what went) is scaled by its size.
    const std::pair<double, QString>& memoryArray() const { return memoryArray_; }

    // The line under the figure: how much of it is in the Trash; empty when none is.
    static QString trashNote(const TQRunTotals& totals);
    // What the work still running is ("Still deleting"), and the row's line with what it has
    // removed and what it has left; empty when nothing runs.
    static QString workingTitle(const TQRunTotals& totals);
    static QString workingText(const TQRunTotals& totals);

    // Takes out the compressed row when nothing was compressed, else fills it.
    void hideCompressedIfNeeded();
    void updateCompressedUI();

    // Actions of the three buttons.
    void rate();
    void like() { share(ShareSocialNetwork); }
    void tweet() { share(ShareMicroblog); }
    // Opens the share page of that kind in the browser.
    void share(int kind);

    // The text a share of that kind posts: the amount freed, printed without decimals, or,
    // when that prints as 0 or nothing was freed, the sentence without an amount; the
    // microblog's with hashtags.
    QString shareText(int kind) const;
    // The web page a share of that kind opens.
    QUrl shareURL(int kind) const { return shareURLForText(kind, shareText(kind)); }
    // The share page of that kind for a text: the microblog's post page with the text as
    // "text", the social network's share page with the product's link as "u". Each value is
    // encoded whole.
    static QUrl shareURLForText(int kind, const QString& text);

    static constexpr double RatingPromptThreshold = 1e9;
    static constexpr double RatingPromptDelay = 0.5;

    static inline const QString AmountFormat =
        QStringLiteral("I just cleared %1 using Sizemere for Linux. Check it out here: %2");
    static inline const QString NoAmountFormat =
        QStringLiteral("I cleaned my computer using Sizemere for Linux. Check it out here: %1");
    static inline const QString Hashtags = QStringLiteral(" #sizemere #zandrel");
    // The caption under the figure: what it counts (so far, while work still runs).
    static inline const QString FreedCaption = QStringLiteral("freed on your disk");
    static inline const QString GrewCaption = QStringLiteral("more used on your disk");
    static inline const QString SoFar = QStringLiteral(" so far");
    // The Trash line: part of the figure is in the Trash, or more than the figure went there
    // (archives took room meanwhile).
    static inline const QString InTrashOfIt = QStringLiteral("%1 of it is in the Trash.");
    static inline const QString WentToTrash = QStringLiteral("%1 went to the Trash.");
    static inline const QString EmptyingFrees = QStringLiteral("Emptying the Trash frees it.");
    // The row of the work still running.
    static inline const QString StillDeleting = QStringLiteral("Still deleting");
    static inline const QString StillCompressing = QStringLiteral("Still compressing");
    static inline const QString StillDeletingAndCompressing = QStringLiteral("Still deleting and compressing");
    static inline const QString GoneAndLeft = QStringLiteral("%1: %2 gone, %3 left");
    static inline const QString CompressedOne = QStringLiteral("file/folder compressed");
    static inline const QString CompressedMany = QStringLiteral("files/folders compressed");

protected:
    void awakeFromNib() override;

private:
    void setUpType();
    void showFreed();
    void showTrashAndWork();
    void startRatingPromptIfDue();
    // Shows or takes out one of the box's rows (the Trash line, the work, the compressed
    // row): the rows below it move, the box keeps its middle and the buttons follow its
    // bottom edge.
    void setRowShown(QWidget* row, bool shown);
    void layoutRows();

    // The amount as the share text prints it ("2 MB"); empty when it would print as 0.
    QString printedAmount() const;

    double totalFreed_ = 0;
    qint64 totalCompressed_ = 0;
    TQRunTotals totals_;
    bool ratingPromptStarted_ = false;
    // The box, the buttons' y and each row's y as the form lays them out, every row shown.
    QRect fullBox_;
    int fullButtonsY_ = 0;
    std::vector<std::pair<QWidget*, int>> rows_;
    KZMemoryFormatter memoryFormatter_;
    std::pair<double, QString> memoryArray_;
};
