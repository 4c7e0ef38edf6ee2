#include "platform/widgets/KZCWindow.h"

#include "platform/widgets/KZAccessibleWidget.h"
#include "platform/widgets/KZAppearance.h"
#include "platform/widgets/KZCore.h"
#include "platform/widgets/KZWorkspace.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSvgRenderer>
#include <QVBoxLayout>

namespace {

// The program's icon, as the desktop shows it.
QPixmap iconPixmap(int side, qreal ratio)
{
    QPixmap pixmap(QSize(side, side) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer icon(QStringLiteral(":/desktop/sizemere.svg"));
    if (icon.isValid()) {
        QPainter painter(&pixmap);
        icon.render(&painter, QRectF(0, 0, side, side));
    }
    return pixmap;
}

} // namespace

KZCWindow::KZCWindow(const QString& windowTitle, const QString& title, const QString& message)
    : QWidget(nullptr, Qt::Window)
{
    // A window to assistive technology too, named by its title.
    KZAccessibleWidget::registerClass(staticMetaObject, {QAccessible::Window, {}, {}});
    setWindowTitle(windowTitle);
    KZAppearance::applyAqua(this);

    auto* icon = new QLabel(this);
    icon->setPixmap(iconPixmap(64, devicePixelRatioF()));
    icon->setFixedSize(64, 64);
    icon->setAccessibleName(QStringLiteral("Sizemere"));

    titleLabel_ = new QLabel(title, this);
    QFont titleFont = font();
    titleFont.setPixelSize(18);
    titleFont.setBold(true);
    titleLabel_->setFont(titleFont);

    messageLabel_ = new QLabel(message, this);
    messageLabel_->setWordWrap(true);
    QFont messageFont = font();
    messageFont.setPixelSize(13);
    messageLabel_->setFont(messageFont);
    messageLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* text = new QVBoxLayout;
    text->setSpacing(8);
    text->addWidget(titleLabel_);
    text->addWidget(messageLabel_);
    text->addStretch(1);

    auto* top = new QHBoxLayout;
    top->setSpacing(18);
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(text, 1);

    otherButton_ = new QPushButton(this);
    otherButton_->hide();
    defaultButton_ = new QPushButton(this);
    defaultButton_->setDefault(true);
    defaultButton_->hide();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(otherButton_);
    buttons->addWidget(defaultButton_);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(24, 22, 20, 18);
    root->setSpacing(18);
    root->addLayout(top, 1);
    root->addLayout(buttons);

    // A fixed width; the height the wrapped message needs at that width.
    constexpr int width = 500;
    const QMargins margins = root->contentsMargins();
    const int textWidth = width - margins.left() - margins.right() - icon->width() - top->spacing();
    const int textHeight =
        titleLabel_->sizeHint().height() + text->spacing() + messageLabel_->heightForWidth(textWidth);
    const int height = margins.top() + std::max(icon->height(), textHeight) + root->spacing() +
                       defaultButton_->sizeHint().height() + margins.bottom();
    setFixedSize(width, height);
}

KZCWindow* KZCWindow::welcomeWindow()
{
    auto* window = new KZCWindow(
        QStringLiteral("Welcome to Sizemere"), QStringLiteral("Welcome to Sizemere"),
        QStringLiteral("Sizemere shows where the space on your disk goes. Choose a folder and it draws every "
                       "file as a box sized by the space it takes, so the largest stand out at once. Delete, "
                       "compress or set aside what you no longer need, and see how much space you freed."));
    QPointer<KZCWindow> guard(window);
    window->setOtherButton(QStringLiteral("Join the Mailing List"),
                           [] { KZWorkspace::shared().openURL(KZCore::mailingListURL()); });
    window->setDefaultButton(QStringLiteral("Get Started"), [guard] {
        if (guard) guard->close();
    });
    return window;
}

KZCWindow* KZCWindow::mailingListWindow()
{
    auto* window =
        new KZCWindow(QStringLiteral("Sizemere News"), QStringLiteral("Hear about new versions first"),
                      QStringLiteral("Join the ZANDREL mailing list for news about Sizemere and our other programs. "
                                     "The sign-up page opens in your web browser."));
    QPointer<KZCWindow> guard(window);
    window->setOtherButton(QStringLiteral("Not Now"), [guard] {
        if (guard) guard->close();
    });
    window->setDefaultButton(QStringLiteral("Open Sign-Up Page"), [guard] {
        KZWorkspace::shared().openURL(KZCore::mailingListURL());
        if (guard) guard->close();
    });
    return window;
}

void KZCWindow::setDefaultButton(const QString& title, std::function<void()> action)
{
    defaultButton_->setText(title);
    defaultButton_->disconnect(this);
    connect(defaultButton_, &QPushButton::clicked, this, [action] {
        if (action) action();
    });
    defaultButton_->show();
}

void KZCWindow::setOtherButton(const QString& title, std::function<void()> action)
{
    otherButton_->setText(title);
    otherButton_->disconnect(this);
    connect(otherButton_, &QPushButton::clicked, this, [action] {
        if (action) action();
    });
    otherButton_->show();
}

QString KZCWindow::title() const
{
    return titleLabel_->text();
}

QString KZCWindow::message() const
{
    return messageLabel_->text();
}

void KZCWindow::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (!event->isAccepted() || closed_) return;
    closed_ = true;
    Q_EMIT closed();
    // Never destroyed inside its own close: released on a later turn.
    deleteLater();
}
