#pragma once
// Ostrel stand-in: the rating prompt. start() asks once whether the user would rate the
// program (an alert through KZAlertService); "Rate Sizemere" opens the rating page through
// KZCore::rateApp(). Either answer is remembered in the settings store, and the prompt is not
// shown again. Main thread only.

#include <QString>

class KZCHappinessManager {
public:
    static KZCHappinessManager& sharedInstance();

    // Shows the rating prompt unless the user has answered it before.
    void start();
    // Whether the user has answered the prompt (either way).
    bool hasAnswered() const;

    // The settings-store key of the remembered answer.
    static inline const QString PromptAnsweredKey = QStringLiteral("KZCHappinessPromptAnswered");
    static inline const QString PromptMessage = QStringLiteral("Enjoying Sizemere?");
    static inline const QString PromptInformative =
        QStringLiteral("If Sizemere helped you free some space, would you take a moment to rate it? "
                       "It helps other people find it.");
    static inline const QString RateButton = QStringLiteral("Rate Sizemere");
    static inline const QString DeclineButton = QStringLiteral("No Thanks");

private:
    bool prompting_ = false;
};
