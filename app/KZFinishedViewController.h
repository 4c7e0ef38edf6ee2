#pragma once
// The last screen of a run: the bytes freed and the items compressed, a rate button and two
// share buttons. The compressed row is taken out when nothing was compressed. When a
// gigabyte or more was freed, the maker's rating prompt starts half a second after the
// screen is set up (dropped if the screen goes first). Sharing opens the networks' web pages
// with the text encoded whole into the query. The main window makes one per finished screen
// and adds its own button bar below the screen.

#include "app/TQViewController.h"
#include "kit/KZInterfaceFile.h"
#include "model/KZMemoryFormatter.h"

#include <QUrl>

#include <memory>
#include <utility>

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
    // prompt starts when the freed total has just reached its threshold.
    void setTotals(double totalFreed, qint64 totalCompressed);

    double totalFreed() const { return totalFreed_; }
    qint64 totalCompressed() const { return totalCompressed_; }
    // The freed total scaled by the screen's formatter (minimum unit KB): value and unit. A
    // total below 0 (archives that outweigh what went) is scaled by its size.
    const std::pair<double, QString>& memoryArray() const { return memoryArray_; }

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
    // The caption under the figure: what it counts.
    static inline const QString FreedCaption = QStringLiteral("freed on your disk");
    static inline const QString GrewCaption = QStringLiteral("more used on your disk");
    static inline const QString CompressedOne = QStringLiteral("file/folder compressed");
    static inline const QString CompressedMany = QStringLiteral("files/folders compressed");

protected:
    void awakeFromNib() override;

private:
    void showFreed();
    void startRatingPromptIfDue(double previousFreed);
    // Puts back the compressed row that hideCompressedIfNeeded took out.
    void showCompressedRow();

    // The amount as the share text prints it ("2 MB"); empty when it would print as 0.
    QString printedAmount() const;

    double totalFreed_ = 0;
    qint64 totalCompressed_ = 0;
    int hiddenCompressedHeight_ = -1; // the compressed row's height while it is taken out
    KZMemoryFormatter memoryFormatter_;
    std::pair<double, QString> memoryArray_;
};
