#include "platform/widgets/KZCHappinessManager.h"

#include "platform/KZUserDefaults.h"
#include "platform/widgets/KZAlertService.h"
#include "platform/widgets/KZCore.h"

KZCHappinessManager& KZCHappinessManager::sharedInstance()
{
    static KZCHappinessManager shared;
    return shared;
}

bool KZCHappinessManager::hasAnswered() const
{
    return KZUserDefaults::standardUserDefaults().boolForKey(PromptAnsweredKey);
}

void KZCHappinessManager::start()
{
    if (prompting_ || hasAnswered()) return;
    prompting_ = true;
    KZAlert alert;
    alert.messageText = PromptMessage;
    alert.informativeText = PromptInformative;
    alert.buttons = {RateButton, DeclineButton};
    alert.style = KZAlert::Style::Informational;
    const KZAlertResult result = KZAlertService::shared().runModal(alert);
    prompting_ = false;
    // Closing the alert without a choice asks again another time.
    if (result.response != KZAlertFirstButtonReturn && result.response != KZAlertSecondButtonReturn) return;
    KZUserDefaults::standardUserDefaults().setBool(PromptAnsweredKey, true);
    if (result.response == KZAlertFirstButtonReturn) KZCore::sharedInstance().rateApp();
}
