#include "app/KZAboutViewController.h"

#include "ui_KZAboutViewController.h"

#include "app/TQWebAddresses.h"
#include "platform/widgets/KZWorkspace.h"

#include <QDate>
#include <QPainter>
#include <QSvgRenderer>
#include <QUrl>

KZ_INTERFACE_FILE_IMPL(KZAboutViewController)

#ifndef SIZEMERE_APP_NAME
#error "SIZEMERE_APP_NAME comes from the CMake project"
#endif
#ifndef SIZEMERE_APP_VERSION
#error "SIZEMERE_APP_VERSION comes from the CMake project"
#endif

QString KZAboutViewController::applicationName()
{
    return QStringLiteral(SIZEMERE_APP_NAME);
}

QString KZAboutViewController::applicationVersion()
{
    return QStringLiteral(SIZEMERE_APP_VERSION);
}

void KZAboutViewController::awakeFromNib()
{
    KZViewController::awakeFromNib();
    Ui::KZAboutViewController* form = ui();

    const qreal ratio = view()->devicePixelRatioF();
    QPixmap icon(QSize(96, 96) * ratio);
    icon.setDevicePixelRatio(ratio);
    icon.fill(Qt::transparent);
    QSvgRenderer programIcon(QStringLiteral(":/desktop/sizemere.svg"));
    if (programIcon.isValid()) {
        QPainter painter(&icon);
        programIcon.render(&painter, QRectF(0, 0, 96, 96));
    }
    form->appIconView->setPixmap(icon);

    QFont name = form->appNameLabel->font();
    name.setPixelSize(24);
    name.setWeight(QFont::DemiBold);
    form->appNameLabel->setFont(name);
    QPalette quiet = form->appVersionLabel->palette();
    quiet.setColor(QPalette::WindowText, QColor(112, 112, 112));
    form->appVersionLabel->setPalette(quiet);
    form->copyrightLabel->setPalette(quiet);
    QFont small = form->copyrightLabel->font();
    small.setPixelSize(11);
    form->copyrightLabel->setFont(small);

    QPalette link = form->faqButton->palette();
    link.setColor(QPalette::ButtonText, QColor(0, 104, 218));
    for (QPushButton* button : {form->faqButton, form->fanButton, form->twitterButton, form->zandrelButton}) {
        button->setPalette(link);
        button->setCursor(Qt::PointingHandCursor);
    }
    connect(form->faqButton, &QPushButton::clicked, this, [this] { faqButtonPressed(); });
    connect(form->fanButton, &QPushButton::clicked, this, [this] { fanButtonPressed(); });
    connect(form->twitterButton, &QPushButton::clicked, this, [this] { twitterButtonPressed(); });
    connect(form->zandrelButton, &QPushButton::clicked, this, [this] { zandrelButtonPressed(); });

    setAppNameAndVersion();
    setCopyright();
}

void KZAboutViewController::setAppNameAndVersion()
{
    ui()->appNameLabel->setText(applicationName());
    ui()->appVersionLabel->setText(QStringLiteral("Version %1").arg(applicationVersion()));
}

QString KZAboutViewController::noticeForYear(const QString& notice, int year)
{
    QString text = notice;
    return text.replace(QStringLiteral("CURRENT_YEAR"), QString::number(year));
}

int KZAboutViewController::year()
{
    return QDate::currentDate().year();
}

void KZAboutViewController::setCopyright()
{
    ui()->copyrightLabel->setText(noticeForYear(ui()->copyrightLabel->text(), year()));
}

void KZAboutViewController::faqButtonPressed()
{
    openURL(TQWebAddresses::supportPage);
}

void KZAboutViewController::fanButtonPressed()
{
    openURL(TQWebAddresses::socialNetworkPage);
}

void KZAboutViewController::twitterButtonPressed()
{
    openURL(TQWebAddresses::microblogPage);
}

void KZAboutViewController::zandrelButtonPressed()
{
    openURL(TQWebAddresses::makerSite);
}

void KZAboutViewController::openURL(const QString& address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (url.isValid()) KZWorkspace::shared().openURL(url);
}
