#pragma once
// The completion sound: our own three-tone chime, played when a compression ends. Loaded once,
// on first use, from the resource "sounds/tritone.wav" into memory, and kept for the life of
// the process. It is played the way Linux desktops play event sounds: through libcanberra, as
// the event "complete" of the freedesktop.org sound naming, handed to the desktop's sound
// server (PulseAudio, or PipeWire's PulseAudio service). Where no sound server runs it is
// silent; nothing is reported.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class KZSound {
public:
    explicit KZSound(QByteArray wave);
    ~KZSound();
    KZSound(const KZSound&) = delete;
    KZSound& operator=(const KZSound&) = delete;

    // The sound as read from the resource (a RIFF WAVE file).
    const QByteArray& data() const { return data_; }
    // Hands the sound to the sound server; false when there is none or it refused the sound.
    // When it was handed over, `finished` (if given) is called once, on another thread, with
    // whether the server played it to its end.
    bool play(std::function<void(bool)> finished = {});

private:
    struct Player;
    QByteArray data_;
    std::unique_ptr<Player> player_;
};

// The shared sound; null when the resource is missing.
KZSound* kz_triToneSound();
// Plays the chime where a sound server runs; silent otherwise.
void kz_playTriTone();

namespace kz {
// Replaces what kz_playTriTone does (tests count the chimes); an empty function restores it.
void setTriTonePlayerForTesting(std::function<void()> player);
} // namespace kz
