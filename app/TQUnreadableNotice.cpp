#include "app/TQUnreadableNotice.h"

#include "model/KZPath.h"
#include "platform/KZPathString.h"
#include "platform/widgets/KZAlertService.h"

#include <algorithm>

void TQUnreadableNotice::attach(QWidget* notice, QLabel* label, QPushButton* button, QWidget* window)
{
    notice_ = notice;
    label_ = label;
    button_ = button;
    window_ = window;
    QObject::connect(button, &QPushButton::clicked, button, [this] { showFolders(); });
    update();
}

void TQUnreadableNotice::setFolders(int64_t count, std::vector<std::string> paths)
{
    count_ = std::max<int64_t>(0, count);
    paths_ = std::move(paths);
    update();
}

void TQUnreadableNotice::update()
{
    if (!notice_ || !label_ || !button_) return;
    const QString text = count_ == 1 ? OneNotice : ManyNotice.arg(count_);
    label_->setText(text);
    notice_->setAccessibleName(text);
    button_->setAccessibleDescription(text);
    notice_->setVisible(count_ > 0);
}

void TQUnreadableNotice::showFolders() const
{
    const int64_t n = count_;
    if (n <= 0) return;
    KZAlert alert;
    alert.style = KZAlert::Style::Informational;
    alert.messageText = n == 1 ? OneMessage : ManyMessage.arg(n);
    QStringList lines{n == 1 ? OneInformative : ManyInformative, QString()};
    const size_t listed = std::min<size_t>(paths_.size(), kMaxListed);
    for (size_t i = 0; i < listed; ++i) lines << kz::displayString(kz::pathWithoutTrailingSlash(paths_[i]));
    if (n > int64_t(listed)) lines << More.arg(n - int64_t(listed));
    alert.informativeText = lines.join(QLatin1Char('\n'));
    alert.buttons = {OkayButton};
    kz_beginSheetModalForWindow(alert, window_ ? window_->window() : nullptr, [](const KZAlertResult&) {});
}
