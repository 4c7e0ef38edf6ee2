#include "platform/widgets/KZSound.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <map>
#include <mutex>

#include <canberra.h>

namespace {
std::function<void()>& testPlayer()
{
    static std::function<void()> player;
    return player;
}

// What to call when a sound ends, by the number handed to libcanberra with it: whichever comes
// first, the end or a refusal, takes it out, so it is called at most once and never after the
// caller forgot it, however a driver reports.
struct PendingEnds {
    std::mutex mutex;
    uintptr_t last = 0;
    std::map<uintptr_t, std::function<void(bool)>> ends;

    static PendingEnds& shared()
    {
        static PendingEnds pending;
        return pending;
    }
    uintptr_t add(std::function<void(bool)> end)
    {
        std::lock_guard lock(mutex);
        ends.emplace(++last, std::move(end));
        return last;
    }
    std::function<void(bool)> take(uintptr_t key)
    {
        std::lock_guard lock(mutex);
        auto it = ends.find(key);
        if (it == ends.end()) return {};
        std::function<void(bool)> end = std::move(it->second);
        ends.erase(it);
        return end;
    }
};
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
            QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
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

bool KZSound::play(std::function<void(bool)> finished)
{
    if (!player_->open(data_)) return false;
    const QByteArray path = QFile::encodeName(player_->file.fileName());
    ca_proplist* properties = nullptr;
    if (ca_proplist_create(&properties) != CA_SUCCESS) return false;
    ca_proplist_sets(properties, CA_PROP_EVENT_ID, "complete");
    ca_proplist_sets(properties, CA_PROP_EVENT_DESCRIPTION, "Compression finished");
    ca_proplist_sets(properties, CA_PROP_MEDIA_ROLE, "event");
    ca_proplist_sets(properties, CA_PROP_MEDIA_FILENAME, path.constData());
    const uintptr_t key = finished ? PendingEnds::shared().add(std::move(finished)) : 0;
    const ca_finish_callback_t callback = [](ca_context*, uint32_t, int error, void* data) {
        if (auto end = PendingEnds::shared().take(reinterpret_cast<uintptr_t>(data))) end(error == CA_SUCCESS);
    };
    const int played =
        ca_context_play_full(player_->context, 0, properties, key ? callback : nullptr, reinterpret_cast<void*>(key));
    ca_proplist_destroy(properties);
    if (played != CA_SUCCESS && key) PendingEnds::shared().take(key);
    return played == CA_SUCCESS;
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
