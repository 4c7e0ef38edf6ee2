#include "platform/widgets/KZSound.h"

#include <QAudioDevice>
#include <QFile>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

QSoundEffect* kz_triToneSound()
{
    static QSoundEffect* sound = [] () -> QSoundEffect* {
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
    if (QMediaDevices::audioOutputs().isEmpty()) return;
    if (QSoundEffect* s = kz_triToneSound()) s->play();
}
