#include "platform/widgets/KZAlertService.h"

#include "platform/KZDispatch.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace {

KZAlertService* overridden = nullptr;

// Marks a modal alert that the program ended.
constexpr const char* abortedProperty = "kz_abortedModal";

QMessageBox* makeBox(const KZAlert& alert, QWidget* parent, std::vector<QAbstractButton*>& buttons)
{
    auto* box = new QMessageBox(parent);
    box->setText(alert.messageText);
    box->setInformativeText(alert.informativeText);
    // The icon says what kind of alert this is, to a screen reader too.
    QString kind;
    switch (alert.style) {
    case KZAlert::Style::Warning:
        box->setIcon(QMessageBox::Warning);
        kind = QStringLiteral("Warning");
        break;
    case KZAlert::Style::Informational:
        box->setIcon(QMessageBox::Information);
        kind = QStringLiteral("Information");
        break;
    case KZAlert::Style::Critical:
        box->setIcon(QMessageBox::Critical);
        kind = QStringLiteral("Error");
        break;
    }
    if (auto* icon = box->findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label"))) icon->setAccessibleName(kind);
    QStringList titles = alert.buttons;
    if (titles.isEmpty()) titles << QStringLiteral("OK");
    for (int i = 0; i < titles.size(); ++i) {
        // The first button is the default action, a second one cancels.
        const auto role =
            i == 0 ? QMessageBox::AcceptRole : (i == 1 ? QMessageBox::RejectRole : QMessageBox::ActionRole);
        QPushButton* b = box->addButton(titles[i], role);
        if (i == 0) box->setDefaultButton(b);
        buttons.push_back(b);
    }
    if (titles.size() > 1) box->setEscapeButton(buttons[1]);
    if (alert.showsSuppressionButton) {
        auto* check = new QCheckBox(alert.suppressionTitle.isEmpty() ? QStringLiteral("Do not show this message again")
                                                                     : alert.suppressionTitle);
        check->setChecked(alert.suppressionState);
        box->setCheckBox(check);
    }
    return box;
}

KZAlertResult resultOf(QMessageBox* box, const std::vector<QAbstractButton*>& buttons)
{
    KZAlertResult r;
    QAbstractButton* clicked = box->clickedButton();
    for (size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i] == clicked) r.response = KZAlertFirstButtonReturn + int(i);
    if (auto* check = box->checkBox()) r.suppressionState = check->isChecked();
    return r;
}

} // namespace

KZAlertService& KZAlertService::shared()
{
    static KZMessageBoxAlertService real;
    return overridden ? *overridden : real;
}

void KZAlertService::setShared(KZAlertService* service)
{
    overridden = service;
}

void KZMessageBoxAlertService::beginSheet(const KZAlert& alert, QWidget* window, double delaySeconds,
                                          Completion completion)
{
    QPointer<QWidget> target(window);
    const bool hadWindow = window != nullptr;
    KZRunOnMainThreadAfterDelay(
        [alert, target, hadWindow, completion = std::move(completion)] {
            if (hadWindow && !target) return; // the window went away before the sheet showed
            auto buttons = std::make_shared<std::vector<QAbstractButton*>>();
            QMessageBox* box = makeBox(alert, target ? target->window() : nullptr, *buttons);
            box->setWindowModality(target ? Qt::WindowModal : Qt::ApplicationModal);
            box->setAttribute(Qt::WA_DeleteOnClose);
            QObject::connect(box, &QMessageBox::finished, box, [box, buttons, completion] {
                const KZAlertResult r = resultOf(box, *buttons);
                if (completion) completion(r);
            });
            box->open();
        },
        delaySeconds);
}

KZAlertResult KZMessageBoxAlertService::runModal(const KZAlert& alert)
{
    std::vector<QAbstractButton*> buttons;
    std::unique_ptr<QMessageBox> box(makeBox(alert, nullptr, buttons));
    modal_.emplace_back(&alert, box.get());
    box->exec();
    modal_.pop_back();
    if (box->property(abortedProperty).toBool()) return {KZModalResponseAbort, false};
    return resultOf(box.get(), buttons);
}

void KZMessageBoxAlertService::abortModal(const KZAlert& alert)
{
    for (const auto& [shown, box] : modal_) {
        if (shown != &alert || !box) continue;
        box->setProperty(abortedProperty, true);
        // An alert shown above it stays; this one hides now and answers once that one has.
        static_cast<QDialog*>(box.data())->done(QDialog::Rejected);
        return;
    }
}

KZAlertResult KZScriptedAlertService::nextAnswer()
{
    if (answers_.empty()) return {KZAlertFirstButtonReturn, false};
    KZAlertResult r = answers_.front();
    answers_.erase(answers_.begin());
    return r;
}

void KZScriptedAlertService::beginSheet(const KZAlert& alert, QWidget* window, double delaySeconds,
                                        Completion completion)
{
    const KZAlertResult r = nextAnswer();
    shown_.push_back({alert, window, true, r.response});
    KZRunOnMainThreadAfterDelay(
        [r, completion = std::move(completion)] {
            if (completion) completion(r);
        },
        delaySeconds);
}

KZAlertResult KZScriptedAlertService::runModal(const KZAlert& alert)
{
    const size_t index = shown_.size();
    shown_.push_back({alert, nullptr, false});
    bool aborted = false;
    // Alerts shown while the hook runs answer at once.
    if (whileModal_ && modal_.empty()) {
        modal_.emplace_back(&alert, false);
        const std::function<void()> whileModal = whileModal_;
        whileModal();
        aborted = modal_.back().second;
        modal_.pop_back();
    }
    const KZAlertResult r = aborted ? KZAlertResult{KZModalResponseAbort, false} : nextAnswer();
    shown_[index].response = r.response;
    return r;
}

void KZScriptedAlertService::abortModal(const KZAlert& alert)
{
    for (auto& [shown, aborted] : modal_)
        if (shown == &alert) aborted = true;
}

void kz_beginSheetModalForWindow(const KZAlert& alert, QWidget* window, KZAlertService::Completion completion)
{
    KZAlertService::shared().beginSheet(alert, window, 0, std::move(completion));
}

void kz_beginSheetModalForWindow(const KZAlert& alert, QWidget* window, double delaySeconds,
                                 KZAlertService::Completion completion)
{
    KZAlertService::shared().beginSheet(alert, window, delaySeconds, std::move(completion));
}
