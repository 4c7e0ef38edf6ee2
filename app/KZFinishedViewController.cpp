#include "app/KZFinishedViewController.h"

#include "ui_KZFinishedViewController.h"

#include "app/TQWebAddresses.h"
#include "kit/KZController.h"
#include "platform/KZColorUtilities.h"
#include "platform/KZDispatch.h"
#include "platform/widgets/KZCHappinessManager.h"
#include "platform/widgets/KZCore.h"
#include "platform/widgets/KZWorkspace.h"

#include <cmath>
#include <cstdio>

KZ_INTERFACE_FILE_IMPL(KZFinishedViewController)

std::unique_ptr<KZFinishedViewController> KZFinishedViewController::controllerWithTotalFreed(double totalFreed,
                                                                                             qint64 totalCompressed)
{
    auto screen = controller<KZFinishedViewController>();
    screen->totalFreed_ = totalFreed;
    screen->totalCompressed_ = totalCompressed;
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

    // Type: large figures, quiet captions.
    QFont figure = root->font();
    figure.setPixelSize(46);
    figure.setWeight(QFont::DemiBold);
    form->totalFreedLabel->setFont(figure);
    figure.setPixelSize(38);
    form->totalCompressedLabel->setFont(figure);
    QFont caption = root->font();
    caption.setPixelSize(13);
    QPalette captionPalette = form->totalFreedSubtitleLabel->palette();
    captionPalette.setColor(QPalette::WindowText, QColor(112, 112, 112));
    for (QLabel* label : {form->totalFreedSubtitleLabel, form->compressedSubtitleLabel}) {
        label->setFont(caption);
        label->setPalette(captionPalette);
    }
    QPalette separator = form->compressedSeparator->palette();
    separator.setColor(QPalette::Window, border);
    form->compressedSeparator->setPalette(separator);

    connect(form->rateButton, &KZButton::clicked, this, [this] { rate(); });
    connect(form->likeButton, &KZButton::clicked, this, [this] { like(); });
    connect(form->tweetButton, &KZButton::clicked, this, [this] { tweet(); });

    memoryFormatter_.setMinimumUnit(1);
    showFreed();

    hideCompressedIfNeeded();
    startRatingPromptIfDue(0);
}

void KZFinishedViewController::showFreed()
{
    // Below 0 the run's archives outweigh what left the disk: the amount is shown as it is,
    // under a caption that says the disk holds that much more.
    memoryArray_ = memoryFormatter_.arrayFromBytes(std::abs(totalFreed_));
    ui()->totalFreedLabel->setSize(memoryArray_.first, memoryArray_.second, false);
    ui()->totalFreedSubtitleLabel->setText(totalFreed_ < 0 ? GrewCaption : FreedCaption);
}

void KZFinishedViewController::startRatingPromptIfDue(double previousFreed)
{
    if (totalFreed_ < RatingPromptThreshold || previousFreed >= RatingPromptThreshold) return;
    // Tied to this screen: a screen that goes within the delay starts no prompt.
    KZRunOnMainThreadAfterDelay([] { KZCHappinessManager::sharedInstance().start(); }, RatingPromptDelay, this);
}

void KZFinishedViewController::setTotals(double totalFreed, qint64 totalCompressed)
{
    const double previousFreed = totalFreed_;
    totalFreed_ = totalFreed;
    totalCompressed_ = totalCompressed;
    if (!isViewLoaded()) return;
    showFreed();
    if (totalCompressed_ != 0) showCompressedRow();
    hideCompressedIfNeeded();
    startRatingPromptIfDue(previousFreed);
}

void KZFinishedViewController::showCompressedRow()
{
    Ui::KZFinishedViewController* form = ui();
    if (hiddenCompressedHeight_ < 0) return;
    const int h = hiddenCompressedHeight_;
    hiddenCompressedHeight_ = -1;
    // The reverse of taking it out: the box grows back from its middle, the buttons follow.
    const QRect box = form->containerView->geometry();
    form->containerView->setGeometry(box.x(), box.y() - h / 2, box.width(), box.height() + h);
    form->buttonContainerView->move(form->buttonContainerView->x(), form->buttonContainerView->y() + h / 2);
    form->compressedContainer->show();
}

void KZFinishedViewController::hideCompressedIfNeeded()
{
    if (totalCompressed_ != 0) {
        updateCompressedUI();
        return;
    }
    Ui::KZFinishedViewController* form = ui();
    if (form->compressedContainer->isHidden()) return;
    const int h = form->compressedContainer->height();
    hiddenCompressedHeight_ = h;
    form->compressedContainer->hide();
    // The box loses the row's height, shrinking towards its middle; the buttons follow its
    // bottom edge up.
    const QRect box = form->containerView->geometry();
    form->containerView->setGeometry(box.x(), box.y() + h / 2, box.width(), box.height() - h);
    form->buttonContainerView->move(form->buttonContainerView->x(), form->buttonContainerView->y() - h / 2);
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
