#pragma once
// The completion sound: a three-tone chime played when a compression ends. Loaded once, on
// first use, from the resource "sounds/tritone.wav".

#include <functional>

class QSoundEffect;

// The shared sound; null when the resource is missing.
QSoundEffect* kz_triToneSound();
// Plays the chime when there is an audio output; silent otherwise.
void kz_playTriTone();

namespace kz {
// Replaces what kz_playTriTone does (tests count the chimes); an empty function restores it.
void setTriTonePlayerForTesting(std::function<void()> player);
} // namespace kz
