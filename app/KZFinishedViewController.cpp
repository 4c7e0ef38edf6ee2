#include "app/KZFinishedViewController.h"

#include "ui_KZFinishedViewController.h"

#include "app/TQWebAddresses.h"
#include "kit/KZController.h"
#include "platform/KZColorUtilities.h"
#include "platform/KZDispatch.h"
#include "platform/widgets/KZAppearance.h"
#include "platform/widgets/KZCHappinessManager.h"
#include "platform/widgets/KZCore.h"
#include "platform/widgets/KZWorkspace.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

KZ_INTERFACE_FILE_IMPL(KZFinishedViewController)

std::unique_ptr<KZFinishedViewController> KZFinishedViewController::controllerWithTotalFreed(double totalFreed,
                                                                                             qint64 totalCompressed)
{
    auto screen = controller<KZFinishedViewController>();
    screen->totalFreed_ = totalFreed;
    screen->totalCompressed_ = totalCompressed;
    screen->totals_.freed = totalFreed;
    screen->totals_.compressed = double(totalCompressed);
    return screen;
}

void KZFinishedViewController::awakeFromNib()
{
    TQViewController::awakeFromNib();
    Ui::KZFinishedViewController* form = ui();
    form->linedBackgroundView->setBackgroundImageName(QStringLiteral("background-icons"));

    const QColor border = kz_colorWithEasyHue(0, 0, 80);
    const QColor fill = QColor::fromHsvF(0, 0, 0.95f);
    QWidget* root = view();
    QPalette palette = root->palette();
    palette.setColor(QPalette::Window, fill);
    root->setPalette(palette);
    root->setAutoFillBackground(true);
    form->containerView->setCornerRadius(4);
    form->containerView->setBorderWidth(1);
    form->containerView->setBorderColor(border);
    form->containerView->setBackgroundColor(fill);

    setUpType();
    form->workingProgressBar->setRange(0, 1000);
    form->workingProgressBar->setAccessibleName(QStringLiteral("Progress"));
    KZAppearance::keepHighlightWhenInactive(form->workingProgressBar);
    QPalette separator = form->compressedSeparator->palette();
    separator.setColor(QPalette::Window, border);
    form->compressedSeparator->setPalette(separator);

    connect(form->rateButton, &KZButton::clicked, this, [this] { rate(); });
    connect(form->likeButton, &KZButton::clicked, this, [this] { like(); });
    connect(form->tweetButton, &KZButton::clicked, this, [this] { tweet(); });

    // The layout with every row shown; rows are taken out from it as they are not wanted.
    fullBox_ = form->containerView->geometry();
    fullButtonsY_ = form->buttonContainerView->y();
    for (QWidget* row :
         {static_cast<QWidget*>(form->trashNoteLabel), form->workingContainer, form->compressedContainer})
        rows_.emplace_back(row, row->y());

    memoryFormatter_.setMinimumUnit(1);
    showFreed();
    showTrashAndWork();

    hideCompressedIfNeeded();
    startRatingPromptIfDue();
}

void KZFinishedViewController::setUpType()
{
    // Large figures, quiet captions and notes.
    Ui::KZFinishedViewController* form = ui();
    const QFont base = view()->font();
    QFont figure = base;
    figure.setPixelSize(46);
    figure.setWeight(QFont::DemiBold);
    form->totalFreedLabel->setFont(figure);
    figure.setPixelSize(38);
    form->totalCompressedLabel->setFont(figure);
    QFont caption = base;
    caption.setPixelSize(13);
    QPalette captionPalette = form->totalFreedSubtitleLabel->palette();
    captionPalette.setColor(QPalette::WindowText, QColor(112, 112, 112));
    for (QLabel* label : {form->totalFreedSubtitleLabel, form->compressedSubtitleLabel}) {
        label->setFont(caption);
        label->setPalette(captionPalette);
    }
    QFont note = base;
    note.setPixelSize(12);
    for (QLabel* label : {form->trashNoteLabel, form->workingLabel}) {
        label->setFont(note);
        label->setPalette(captionPalette);
    }
}

void KZFinishedViewController::showFreed()
{
    // Below 0 the run's archives outweigh what left the disk: the amount is shown as it is,
    // under a caption that says the disk holds that much more.
    memoryArray_ = memoryFormatter_.arrayFromBytes(std::abs(totalFreed_));
    ui()->totalFreedLabel->setSize(memoryArray_.first, memoryArray_.second, false);
    ui()->totalFreedSubtitleLabel->setText((totalFreed_ < 0 ? GrewCaption : FreedCaption) +
                                           (totals_.isRunning() ? SoFar : QString()));
}

void KZFinishedViewController::showTrashAndWork()
{
    Ui::KZFinishedViewController* form = ui();
    const QString note = trashNote(totals_);
    form->trashNoteLabel->setText(note);
    setRowShown(form->trashNoteLabel, !note.isEmpty());
    const bool running = totals_.isRunning();
    form->workingLabel->setText(workingText(totals_));
    form->workingProgressBar->setValue(int(std::lround(std::clamp(totals_.progress, 0.0, 1.0) * 1000)));
    form->workingContainer->setAccessibleName(workingTitle(totals_));
    setRowShown(form->workingContainer, running);
}

QString KZFinishedViewController::trashNote(const TQRunTotals& totals)
{
    if (!(totals.inTrash > 0)) return {};
    KZMemoryFormatter formatter;
    formatter.setMinimumUnit(1);
    const QString amount = formatter.stringFromBytes(totals.inTrash);
    // "Of it" only while the Trash holds no more than the figure counts.
    const QString first = totals.inTrash <= totals.freed ? InTrashOfIt.arg(amount) : WentToTrash.arg(amount);
    return first + QLatin1Char('\n') + EmptyingFrees;
}

QString KZFinishedViewController::workingTitle(const TQRunTotals& totals)
{
    if (totals.deleting > 0 && totals.compressing > 0) return StillDeletingAndCompressing;
    if (totals.deleting > 0) return StillDeleting;
    if (totals.compressing > 0) return StillCompressing;
    return {};
}

QString KZFinishedViewController::workingText(const TQRunTotals& totals)
{
    const QString title = workingTitle(totals);
    // A compression that keeps its originals removes nothing: there is no amount to tell.
    if (title.isEmpty() || !(totals.goneBytes + totals.leftBytes > 0)) return title;
    KZMemoryFormatter formatter;
    formatter.setMinimumUnit(1);
    return GoneAndLeft.arg(title, formatter.stringFromBytes(totals.goneBytes),
                           formatter.stringFromBytes(totals.leftBytes));
}

void KZFinishedViewController::startRatingPromptIfDue()
{
    // On a figure that is final: while the run still deletes, the prompt would ask over the
    // work's progress and over any alert about it.
    if (ratingPromptStarted_ || totals_.isRunning() || totalFreed_ < RatingPromptThreshold) return;
    ratingPromptStarted_ = true;
    // Tied to this screen: a screen that goes within the delay starts no prompt.
    KZRunOnMainThreadAfterDelay([] { KZCHappinessManager::sharedInstance().start(); }, RatingPromptDelay, this);
}

void KZFinishedViewController::setTotals(double totalFreed, qint64 totalCompressed)
{
    TQRunTotals totals = totals_;
    totals.freed = totalFreed;
    totals.compressed = double(totalCompressed);
    setRunTotals(totals);
}

void KZFinishedViewController::setRunTotals(const TQRunTotals& totals)
{
    totals_ = totals;
    totalFreed_ = totals.freed;
    totalCompressed_ = static_cast<qint64>(totals.compressed);
    if (!isViewLoaded()) return;
    showFreed();
    showTrashAndWork();
    if (totalCompressed_ != 0) setRowShown(ui()->compressedContainer, true);
    hideCompressedIfNeeded();
    startRatingPromptIfDue();
}

void KZFinishedViewController::hideCompressedIfNeeded()
{
    if (totalCompressed_ != 0) {
        updateCompressedUI();
        return;
    }
    setRowShown(ui()->compressedContainer, false);
}

void KZFinishedViewController::setRowShown(QWidget* row, bool shown)
{
    if (row->isHidden() != shown) return;
    row->setVisible(shown);
    layoutRows();
}

void KZFinishedViewController::layoutRows()
{
    // Each row taken out takes its height from the box, which shrinks towards its middle (its
    // top edge down by half, its bottom edge up by half); the rows below it move up, and the
    // buttons follow the box's bottom edge.
    Ui::KZFinishedViewController* form = ui();
    int hidden = 0;
    for (const auto& [row, y] : rows_) {
        row->move(row->x(), y - hidden);
        if (row->isHidden()) hidden += row->height();
    }
    form->containerView->setGeometry(fullBox_.x(), fullBox_.y() + hidden / 2, fullBox_.width(),
                                     fullBox_.height() - hidden);
    form->buttonContainerView->move(form->buttonContainerView->x(), fullButtonsY_ - hidden / 2);
}

void KZFinishedViewController::updateCompressedUI()
{
    ui()->totalCompressedLabel->setIntegerValue(totalCompressed_);
    ui()->compressedSubtitleLabel->setText(totalCompressed_ == 1 ? CompressedOne : CompressedMany);
}

void KZFinishedViewController::rate()
{
    KZCore::sharedInstance().rateApp();
}

QString KZFinishedViewController::printedAmount() const
{
    // Nothing to boast of when the disk holds as much as before, or more.
    if (!(totalFreed_ > 0)) return {};
    // The value as the formatter gave it, in single precision, without decimals.
    const double value = double(float(memoryArray_.first));
    if (!std::isfinite(value)) return {};
    char digits[64];
    std::snprintf(digits, sizeof digits, "%0.0f", value);
    const QString number = QString::fromLatin1(digits);
    // 0.4 KB prints as "0 KB": that names no amount.
    if (number == QLatin1String("0") || number == QLatin1String("-0")) return {};
    return number + QLatin1Char(' ') + memoryArray_.second;
}

QString KZFinishedViewController::shareText(int kind) const
{
    const QString amount = printedAmount();
    QString text = amount.isEmpty() ? NoAmountFormat.arg(TQWebAddresses::productPage)
                                    : AmountFormat.arg(amount, TQWebAddresses::productPage);
    if (kind == ShareMicroblog) text += Hashtags;
    return text;
}

QUrl KZFinishedViewController::shareURLForText(int kind, const QString& text)
{
    // Each value is encoded whole ("&", "#", "=" and "+" included), so nothing in it can end
    // the value or start a fragment.
    QUrl url;
    QByteArray query;
    if (kind == ShareMicroblog) {
        url = QUrl(TQWebAddresses::microblogSharePage);
        query = "text=" + QUrl::toPercentEncoding(text);
    } else {
        url = QUrl(TQWebAddresses::socialNetworkSharePage);
        query = "u=" + QUrl::toPercentEncoding(TQWebAddresses::productPage);
    }
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    return url;
}

void KZFinishedViewController::share(int kind)
{
    KZWorkspace::shared().openURL(shareURL(kind));
}
