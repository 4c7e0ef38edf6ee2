#include "platform/widgets/KZSound.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <canberra.h>

namespace {
std::function<void()>& testPlayer()
{
    static std::function<void()> player;
    return player;
}
} // namespace

// libcanberra plays sounds from files: the chime is written once to a private file in the
// user's runtime folder (else the temporary folder), removed with the sound at exit.
struct KZSound::Player {
    ca_context* context = nullptr;
    bool connected = false;
    QTemporaryFile file;

    ~Player()
    {
        if (context) ca_context_destroy(context);
    }

    bool open(const QByteArray& data)
    {
        if (!context) {
            if (ca_context_create(&context) != CA_SUCCESS) return false;
            // Only a sound server: without one the sound is silent rather than opening the
            // sound card behind the desktop's back.
            ca_context_set_driver(context, "pulse");
            ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Sizemere", CA_PROP_APPLICATION_ID, "sizemere",
                                    CA_PROP_APPLICATION_ICON_NAME, "sizemere", nullptr);
        }
        if (!connected) connected = ca_context_open(context) == CA_SUCCESS;
        if (!connected) return false;
        if (file.fileName().isEmpty() || !file.exists()) {
            QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
            if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::tempPath();
            file.setFileTemplate(folder + QStringLiteral("/sizemere-chime-XXXXXX.wav"));
            if (!file.open() || file.write(data) != data.size() || !file.flush()) {
                file.remove();
                return false;
            }
        }
        return true;
    }
};

KZSound::KZSound(QByteArray wave) : data_(std::move(wave)), player_(std::make_unique<Player>()) {}

KZSound::~KZSound() = default;

bool KZSound::play()
{
    if (!player_->open(data_)) return false;
    const QByteArray path = QFile::encodeName(player_->file.fileName());
    return ca_context_play(player_->context, 0, CA_PROP_EVENT_ID, "complete", CA_PROP_EVENT_DESCRIPTION,
                           "Compression finished", CA_PROP_MEDIA_ROLE, "event", CA_PROP_MEDIA_FILENAME,
                           path.constData(), nullptr) == CA_SUCCESS;
}

KZSound* kz_triToneSound()
{
    // Kept until the process ends: its destructor then removes the chime's file.
    static const std::unique_ptr<KZSound> sound = []() -> std::unique_ptr<KZSound> {
        QFile resource(QStringLiteral(":/sounds/tritone.wav"));
        if (!resource.open(QIODevice::ReadOnly)) return nullptr;
        return std::make_unique<KZSound>(resource.readAll());
    }();
    return sound.get();
}

void kz_playTriTone()
{
    if (testPlayer()) {
        testPlayer()();
        return;
    }
    if (KZSound* s = kz_triToneSound()) s->play();
}

void kz::setTriTonePlayerForTesting(std::function<void()> player)
{
    testPlayer() = std::move(player);
}
