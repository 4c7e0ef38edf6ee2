#include "platform/widgets/KZSound.h"

#include <QAudioDevice>
#include <QFile>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace {
std::function<void()>& testPlayer()
{
    static std::function<void()> player;
    return player;
}
} // namespace

QSoundEffect* kz_triToneSound()
{
    static QSoundEffect* sound = []() -> QSoundEffect* {
        if (!QFile::exists(QStringLiteral(":/sounds/tritone.wav"))) return nullptr;
        auto* effect = new QSoundEffect;
        effect->setSource(QUrl(QStringLiteral("qrc:/sounds/tritone.wav")));
        effect->setVolume(0.8f);
        return effect;
    }();
    return sound;
}

void kz_playTriTone()
{
    if (testPlayer()) {
        testPlayer()();
        return;
    }
    if (QMediaDevices::audioOutputs().isEmpty()) return;
    if (QSoundEffect* s = kz_triToneSound()) s->play();
}

void kz::setTriTonePlayerForTesting(std::function<void()> player)
{
    testPlayer() = std::move(player);
}
