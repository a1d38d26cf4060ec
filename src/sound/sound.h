// Sound buffers: the synthesised effects and the title music.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

struct Sound {
    uint32_t length = 0;          // bytes of sample data; a final odd byte is never played
    std::vector<int16_t> samples; // length / 2 mono samples at 44100 Hz
};

using Generator = Sound (*)(uint32_t duration, uint16_t frequency);

struct SoundEffect {
    Generator generator;
    uint32_t duration;  // ms
    uint16_t frequency; // Hz
};

enum : uint8_t { FX_LASER, FX_EXPLOSION, FX_HURT, FX_LASER_LOW, FX_PICKUP, FX_FANFARE };

constexpr double TAU = 6.283185307179586;

constexpr uint16_t ENVELOPE_STEP = 13;     // amplitude per sample of attack or release
constexpr uint32_t ENVELOPE_SAMPLES = 180; // samples of attack, and of release

// The tone envelope: the amplitude for the sample after sample `i` of an `n`-sample tone
// that was drawn at `amplitude`. A linear attack and release of 180 samples each, the
// release left out when the tone is shorter than 180 samples.
uint16_t next_amplitude(uint16_t amplitude, uint32_t i, uint32_t n);

// Bytes of sample data in a sound of `duration` ms; past about 13.5 hours, the most that a
// Sound's 32-bit length holds.
uint32_t sound_bytes(uint32_t duration);
// Samples that a generator writes in `duration` ms.
uint32_t sample_count(uint32_t duration);
Sound silence(uint32_t duration);
// Tones under the envelope. The square's and the sawtooth's periods are whole samples, so they
// sound near `frequency` rather than on it, and at 0 Hz play 1 Hz.
Sound sine(uint32_t duration, uint16_t frequency);
Sound square(uint32_t duration, uint16_t frequency);
Sound sawtooth(uint32_t duration, uint16_t frequency);
// Fresh random draws every call (noise.cpp), the frequency unused.
Sound noise(uint32_t duration, uint16_t frequency);

extern const std::array<SoundEffect, 6> SOUND_EFFECTS;

// Mixed into what is already queued; a tone is made on its first play and kept.
void play_effect(uint8_t effect);
// Starts the noise of explosions over from `seed`; the same seed, the same noise.
void seed_noise(uint32_t seed);

// The decoded file as 44100 Hz mono signed 16-bit; an empty Sound, with a warning, when the
// file cannot be read.
Sound load_wav(const char* path);
