// Sound buffers: tone synthesis, the effect table and WAV loading.
#include "sound/sound.h"

#include "platform/assets.h"
#include "sound/mixer.h"

#include <SDL.h>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

constexpr std::array<SoundEffect, 6> SOUND_EFFECTS = {{
    {.generator = square, .duration = 70, .frequency = 450},   // FX_LASER
    {.generator = noise, .duration = 350, .frequency = 0},     // FX_EXPLOSION
    {.generator = sawtooth, .duration = 50, .frequency = 150}, // FX_HURT
    {.generator = sawtooth, .duration = 70, .frequency = 450}, // FX_LASER_LOW
    {.generator = sine, .duration = 150, .frequency = 2000},   // FX_PICKUP
    {.generator = square, .duration = 150, .frequency = 1500}, // FX_FANFARE
}};

namespace {
// A hostile rate of 1 Hz grows the conversion buffer up to 88200 times; past this, refused.
constexpr size_t MAX_CONVERSION_BYTES = size_t{1} << 28;

// A count reckoned in single precision, cut to the most that 32 bits hold.
uint32_t saturated(float count) {
    return count < 4294967296.0f ? static_cast<uint32_t>(count) : UINT32_MAX;
}

// Samples a period, at least one: a frequency of 0 (not a tone) plays as 1 Hz, and one above
// the output rate as the output rate.
uint32_t period(uint16_t frequency) {
    return std::max<uint32_t>(static_cast<uint32_t>(AUDIO_RATE) / std::max<uint16_t>(frequency, 1),
                              1);
}

// A tone of `duration` ms whose sample i is `wave(i, amplitude)`, under the envelope.
template <class Wave>
Sound tone(uint32_t duration, Wave wave) {
    Sound sound = silence(duration);
    const uint32_t n = sample_count(duration);
    uint16_t amplitude = 0;
    for (uint32_t i = 0; i < n; ++i) {
        sound.samples[i] = wave(i, amplitude);
        amplitude = next_amplitude(amplitude, i, n);
    }
    return sound;
}

// A little-endian signed 16-bit sample from two bytes.
int16_t sample_at(const uint8_t* bytes) {
    return static_cast<int16_t>(static_cast<uint16_t>(bytes[0] | bytes[1] << 8));
}

// `length` bytes of signed 16-bit little-endian samples as a Sound.
Sound decoded(const uint8_t* bytes, uint32_t length) {
    Sound sound{.length = length, .samples = std::vector<int16_t>(length / 2)};
    if (sound.samples.empty()) return sound;
    if constexpr (std::endian::native == std::endian::little)
        std::memcpy(sound.samples.data(), bytes, sound.samples.size() * sizeof(int16_t));
    else
        for (size_t i = 0; i < sound.samples.size(); ++i)
            sound.samples[i] = sample_at(&bytes[2 * i]);
    return sound;
}

Sound warn_unloadable(const char* path, const char* reason) {
    std::fprintf(stderr, "queltivar: warning: cannot load %s: %s\n", absolute_path(path).c_str(),
                 reason);
    return Sound{.length = 0, .samples = {}};
}
} // namespace

uint16_t next_amplitude(uint16_t amplitude, uint32_t i, uint32_t n) {
    if (i < ENVELOPE_SAMPLES) amplitude += ENVELOPE_STEP;
    if (n >= ENVELOPE_SAMPLES && i >= n - ENVELOPE_SAMPLES) amplitude -= ENVELOPE_STEP;
    return amplitude;
}

// In single precision as the buffer size is computed; never more than the buffer holds once
// its length is cut to 32 bits.
uint32_t sample_count(uint32_t duration) {
    return std::min(
        saturated(static_cast<float>(AUDIO_RATE) * (static_cast<float>(duration) / 1000.0f)),
        UINT32_MAX / 2);
}

uint32_t sound_bytes(uint32_t duration) {
    const float seconds = static_cast<float>(duration) / 1000.0f;
    const float frames = seconds * static_cast<float>(AUDIO_RATE);
    const float samples = static_cast<float>(AUDIO_CHANNELS) * frames;
    return saturated(samples + samples);
}

Sound silence(uint32_t duration) {
    const uint32_t length = sound_bytes(duration);
    return Sound{.length = length, .samples = std::vector<int16_t>(length / 2)};
}

Sound sine(uint32_t duration, uint16_t frequency) {
    return tone(duration, [frequency](uint32_t i, uint16_t amplitude) {
        const uint32_t turns = frequency * i; // unsigned 32-bit on purpose: it is the phase
        const double phase = static_cast<double>(turns) * TAU / AUDIO_RATE;
        return static_cast<int16_t>(std::sin(phase) * amplitude);
    });
}

Sound square(uint32_t duration, uint16_t frequency) {
    // Half a period rounded down: 1500 Hz plays as 1575 Hz.
    const uint32_t half = std::max<uint32_t>(period(frequency) / 2, 1);
    return tone(duration, [half](uint32_t i, uint16_t amplitude) {
        const auto level = static_cast<int16_t>(amplitude);
        return (i / half) % 2 == 0 ? level : static_cast<int16_t>(-level);
    });
}

Sound sawtooth(uint32_t duration, uint16_t frequency) {
    const uint32_t samples_per_period = period(frequency);
    return tone(duration, [samples_per_period](uint32_t i, uint16_t amplitude) {
        const float fraction =
            static_cast<float>(i % samples_per_period) / static_cast<float>(samples_per_period);
        const auto ramp = static_cast<int32_t>(static_cast<float>(amplitude) * fraction);
        return static_cast<int16_t>(2 * ramp - amplitude);
    });
}

void play_effect(uint8_t effect) {
    const SoundEffect& entry = SOUND_EFFECTS[effect];
    // Noise is drawn afresh for every play; a tone is the same samples every time, made once.
    if (entry.generator == noise) return queue_sound(noise(entry.duration, entry.frequency));
    static std::array<Sound, SOUND_EFFECTS.size()> tones;
    Sound& made = tones[effect];
    if (made.samples.empty()) made = entry.generator(entry.duration, entry.frequency);
    queue_sound(made);
}

Sound load_wav(const char* path) {
    const AssetFile file = open_asset(path);
    if (!file.file) return warn_unloadable(path, file.reason);
    SDL_AudioSpec format;
    uint8_t* data = nullptr;
    uint32_t bytes = 0;
    if (!SDL_LoadWAV_RW(SDL_RWFromFP(file.file.get(), SDL_FALSE), 1, &format, &data, &bytes))
        return warn_unloadable(path, SDL_GetError());

    SDL_AudioCVT cvt;
    const int needed = SDL_BuildAudioCVT(&cvt, format.format, format.channels, format.freq,
                                         AUDIO_S16LSB, AUDIO_CHANNELS, AUDIO_RATE);
    if (needed < 0) {
        SDL_FreeWAV(data);
        return warn_unloadable(path, SDL_GetError());
    }
    // SDL converts in place, in a buffer len_mult times the input.
    const size_t work_bytes = static_cast<size_t>(bytes) * std::max(cvt.len_mult, 1);
    if (work_bytes > MAX_CONVERSION_BYTES) {
        SDL_FreeWAV(data);
        return warn_unloadable(path, "too long once converted");
    }
    if (needed == 0) { // already the output format: no second copy of the file
        Sound sound = decoded(data, bytes);
        SDL_FreeWAV(data);
        return sound;
    }
    std::vector<uint8_t> work(work_bytes);
    std::copy_n(data, bytes, work.begin());
    SDL_FreeWAV(data);
    cvt.buf = work.data();
    cvt.len = static_cast<int>(bytes);
    if (SDL_ConvertAudio(&cvt) != 0) return warn_unloadable(path, SDL_GetError());
    return decoded(work.data(), static_cast<uint32_t>(cvt.len_cvt));
}
