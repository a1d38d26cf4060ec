// Sound buffers: tone synthesis, the effect table and WAV loading.
#include "sound/sound.h"

#include "shell/shell.h"
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
constexpr uint16_t ENVELOPE_STEP = 13;     // amplitude per sample of attack or release
constexpr uint32_t ENVELOPE_SAMPLES = 180; // samples of attack, and of release
// A hostile rate of 1 Hz grows the conversion buffer up to 88200 times; past this, refused.
constexpr size_t MAX_CONVERSION_BYTES = size_t{1} << 28;

// A count reckoned in single precision, cut to the most that 32 bits hold.
uint32_t saturated(float count) {
    return count < 4294967296.0f ? static_cast<uint32_t>(count) : UINT32_MAX;
}

// Samples in `duration` ms, in single precision as the buffer size is computed; never more
// than the buffer holds once its length is cut to 32 bits.
uint32_t sample_count(uint32_t duration) {
    return std::min(
        saturated(static_cast<float>(AUDIO_RATE) * (static_cast<float>(duration) / 1000.0f)),
        UINT32_MAX / 2);
}

// Samples a period, at least one: a frequency of 0 (not a tone) plays as 1 Hz, and one above
// the output rate as the output rate.
uint32_t period(uint16_t frequency) {
    return std::max<uint32_t>(static_cast<uint32_t>(AUDIO_RATE) / std::max<uint16_t>(frequency, 1),
                              1);
}

// A little-endian signed 16-bit sample from two bytes.
int16_t sample_at(const uint8_t* bytes) {
    return static_cast<int16_t>(static_cast<uint16_t>(bytes[0] | bytes[1] << 8));
}

// The C library's rand(), draw for draw, without the lock it takes on every call: an additive
// lagged Fibonacci generator, x[i] = x[i-3] + x[i-31], seeded by the minimal standard generator.
struct NoiseSource {
    std::array<uint32_t, 31> words{};
    // Not uint32_t: a position of the words' own type could alias them, and would then be
    // reloaded from memory after every draw.
    size_t front = 3, rear = 0;

    void seed(uint32_t seed) {
        int32_t word = seed == 0 ? 1 : static_cast<int32_t>(seed);
        words[0] = static_cast<uint32_t>(word);
        for (size_t i = 1; i < words.size(); i++) {
            // 16807 * word mod (2^31 - 1), without overflow
            const int32_t high = word / 127773, low = word % 127773;
            word = 16807 * low - 2836 * high;
            if (word < 0) word += 2147483647;
            words[i] = static_cast<uint32_t>(word);
        }
        front = 3;
        rear = 0;
        for (int32_t i = 0; i < 310; i++) draw();
    }

    int32_t draw() {
        words[front] += words[rear];
        const auto value = static_cast<int32_t>(words[front] >> 1);
        front = front == words.size() - 1 ? 0 : front + 1;
        rear = rear == words.size() - 1 ? 0 : rear + 1;
        return value;
    }

    // The next `n` words of the sequence at once into `run`, straight rather than round the
    // ring: the 31 words before them, then theirs; a draw is a word shifted right by one.
    void run(uint32_t n, std::vector<uint32_t>& run) {
        const size_t lag = words.size();
        run.resize(lag + n);
        for (size_t j = 0; j < lag; j++) run[j] = words[(front + j) % lag];
        // Three words at a time, the three latest in registers: each new word needs the one
        // three before it, which read back from memory would wait on its own store.
        uint32_t back3 = run[lag - 3], back2 = run[lag - 2], back1 = run[lag - 1];
        size_t k = 0;
        for (; k + 3 <= n; k += 3) {
            back3 = run[lag + k] = run[k] + back3;
            back2 = run[lag + k + 1] = run[k + 1] + back2;
            back1 = run[lag + k + 2] = run[k + 2] + back1;
        }
        for (; k < n; k++) run[lag + k] = run[k] + run[lag + k - 3];
        for (size_t j = 0; j < lag; j++) words[(front + n + j) % lag] = run[n + j];
        front = (front + n) % lag;
        rear = (front + lag - 3) % lag;
    }
};

// The amplitude at each sample of a noise of `n` samples: a rise, then a decay a little past
// zero, so the tail is quiet noise of the other sign. The same for every explosion: kept.
const std::vector<double>& noise_envelope(uint32_t n) {
    static std::vector<double> envelope;
    if (envelope.size() == n) return envelope;
    envelope.resize(n);
    const double decay = n > ENVELOPE_SAMPLES ? 2500.0 / (n - ENVELOPE_SAMPLES) : 0.0;
    double amplitude = 0.0;
    for (uint32_t i = 0; i < n; ++i) {
        envelope[i] = amplitude;
        if (i < ENVELOPE_SAMPLES)
            amplitude += ENVELOPE_STEP;
        else
            amplitude -= decay;
    }
    return envelope;
}

NoiseSource NOISE = [] {
    NoiseSource source;
    source.seed(1); // as rand() before any srand()
    return source;
}();

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
    Sound sound = silence(duration);
    const uint32_t n = sample_count(duration);
    uint16_t amplitude = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t turns = frequency * i; // unsigned 32-bit on purpose: it is the phase
        const double phase = static_cast<double>(turns) * TAU / AUDIO_RATE;
        sound.samples[i] = static_cast<int16_t>(std::sin(phase) * amplitude);
        amplitude = next_amplitude(amplitude, i, n);
    }
    return sound;
}

Sound square(uint32_t duration, uint16_t frequency) {
    Sound sound = silence(duration);
    const uint32_t n = sample_count(duration);
    // Half a period rounded down: 1500 Hz plays as 1575 Hz.
    const uint32_t half = std::max<uint32_t>(period(frequency) / 2, 1);
    uint16_t amplitude = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const auto level = static_cast<int16_t>(amplitude);
        sound.samples[i] = (i / half) % 2 == 0 ? level : static_cast<int16_t>(-level);
        amplitude = next_amplitude(amplitude, i, n);
    }
    return sound;
}

Sound sawtooth(uint32_t duration, uint16_t frequency) {
    Sound sound = silence(duration);
    const uint32_t n = sample_count(duration);
    const uint32_t samples_per_period = period(frequency);
    uint16_t amplitude = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const float fraction =
            static_cast<float>(i % samples_per_period) / static_cast<float>(samples_per_period);
        const auto ramp = static_cast<int32_t>(static_cast<float>(amplitude) * fraction);
        sound.samples[i] = static_cast<int16_t>(2 * ramp - amplitude);
        amplitude = next_amplitude(amplitude, i, n);
    }
    return sound;
}

Sound noise(uint32_t duration, uint16_t /*frequency*/) {
    Sound sound = silence(duration);
    const uint32_t n = sample_count(duration);
    // draw / 32767.0 for every draw, the very same doubles: a division per sample was most of
    // the cost of an explosion, and a multiplication by the reciprocal rounds differently.
    static const std::array<double, 32768> FRACTIONS = [] {
        std::array<double, 32768> fractions{};
        for (size_t draw = 0; draw < fractions.size(); draw++)
            fractions[draw] = static_cast<double>(draw) / 32767.0;
        return fractions;
    }();
    const std::vector<double>& envelope = noise_envelope(n);
    static std::vector<uint32_t> run; // kept: an explosion is 15435 draws
    NOISE.run(n, run);
    for (uint32_t i = 0; i < n; ++i) {
        // Draws reach 2^31 - 1; the envelope needs draws of at most 32767.
        const uint32_t draw = (run[NOISE.words.size() + i] >> 1) % 32768;
        sound.samples[i] = static_cast<int16_t>(FRACTIONS[draw] * envelope[i]);
    }
    return sound;
}

void seed_noise(uint32_t seed) {
    NOISE.seed(seed);
}

void play_effect(uint8_t effect) {
    const SoundEffect& entry = SOUND_EFFECTS[effect];
    // Noise is drawn afresh for every play; a tone is the same samples every time, made once.
    if (entry.generator == noise) return queue_sound(noise(entry.duration, entry.frequency));
    static std::array<Sound, SOUND_EFFECTS.size()> tones;
    Sound& tone = tones[effect];
    if (tone.samples.empty()) tone = entry.generator(entry.duration, entry.frequency);
    queue_sound(tone);
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
