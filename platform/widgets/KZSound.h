#pragma once
// The completion sound: a three-tone chime played when a compression ends. Loaded once, on
// first use, from the resource "sounds/tritone.wav".

class QSoundEffect;

// The shared sound; null when the resource is missing.
QSoundEffect* kz_triToneSound();
// Plays the chime when there is an audio output; silent otherwise.
void kz_playTriTone();
