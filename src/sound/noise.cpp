// The noise of explosions: fresh random draws under a quick rise and a long decay.
#include "sound/sound.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {
constexpr size_t LAG = 31;              // words of state
constexpr size_t SEPARATION = 3;        // from the word each draw adds to
constexpr int32_t DISCARDED = 310;      // draws thrown away once seeded
constexpr int32_t MODULUS = 2147483647; // 2^31 - 1, of the seeding generator

// The draws are glibc's rand() (random_r with its default TYPE_3 state), draw for draw: an
// additive feedback generator, x[i] = x[i-3] + x[i-31] mod 2^32, each draw x[i] >> 1, its 31
// words seeded by the minimal standard generator and the first 310 draws thrown away.
// Explosions have always been rand()'s noise, 0 to 32767; written out here, a seed makes the
// same explosions with any C library, and no lock is taken on every draw.
struct NoiseState {
    std::array<uint32_t, LAG> words{}; // the last 31 values, a ring
    // Not uint32_t: a position of the words' own type could alias them, and would then be
    // reloaded from memory after every draw.
    size_t front = SEPARATION, rear = 0;
    std::vector<uint32_t> run;    // the draws of the latest noise: kept, an explosion is 15435
    std::vector<double> envelope; // amplitude at each sample of the latest length: the same
                                  // for every explosion, so kept too
};

void step(NoiseState& noise) {
    noise.words[noise.front] += noise.words[noise.rear];
    noise.front = noise.front == LAG - 1 ? 0 : noise.front + 1;
    noise.rear = noise.rear == LAG - 1 ? 0 : noise.rear + 1;
}

void seed_state(NoiseState& noise, uint32_t seed) {
    int32_t word = seed == 0 ? 1 : static_cast<int32_t>(seed);
    noise.words[0] = static_cast<uint32_t>(word);
    for (size_t i = 1; i < LAG; i++) {
        // 16807 * word mod (2^31 - 1), without overflow
        const int32_t high = word / 127773, low = word % 127773;
        word = 16807 * low - 2836 * high;
        if (word < 0) word += MODULUS;
        noise.words[i] = static_cast<uint32_t>(word);
    }
    noise.front = SEPARATION;
    noise.rear = 0;
    for (int32_t i = 0; i < DISCARDED; i++) step(noise);
}

NoiseState NOISE = [] {
    NoiseState noise;
    seed_state(noise, 1); // as rand() before any srand()
    return noise;
}();

// The next `n` words of the sequence at once into `run`, straight rather than round the ring:
// the 31 words before them, then theirs; a draw is a word shifted right by one.
void draw_run(NoiseState& noise, uint32_t n) {
    std::vector<uint32_t>& run = noise.run;
    run.resize(LAG + n);
    for (size_t j = 0; j < LAG; j++) run[j] = noise.words[(noise.front + j) % LAG];
    // Three words at a time, the three latest in registers: each new word needs the one three
    // before it, which read back from memory would wait on its own store.
    uint32_t back3 = run[LAG - 3], back2 = run[LAG - 2], back1 = run[LAG - 1];
    size_t k = 0;
    for (; k + 3 <= n; k += 3) {
        back3 = run[LAG + k] = run[k] + back3;
        back2 = run[LAG + k + 1] = run[k + 1] + back2;
        back1 = run[LAG + k + 2] = run[k + 2] + back1;
    }
    for (; k < n; k++) run[LAG + k] = run[k] + run[LAG + k - 3];
    for (size_t j = 0; j < LAG; j++) noise.words[(noise.front + n + j) % LAG] = run[n + j];
    noise.front = (noise.front + n) % LAG;
    noise.rear = (noise.front + LAG - SEPARATION) % LAG;
}

// A rise as the tones rise, then a decay a little past zero, so the tail is quiet noise of the
// other sign.
const std::vector<double>& envelope(NoiseState& noise, uint32_t n) {
    if (noise.envelope.size() == n) return noise.envelope;
    noise.envelope.resize(n);
    const double decay = n > ENVELOPE_SAMPLES ? 2500.0 / (n - ENVELOPE_SAMPLES) : 0.0;
    double amplitude = 0.0;
    for (uint32_t i = 0; i < n; ++i) {
        noise.envelope[i] = amplitude;
        if (i < ENVELOPE_SAMPLES)
            amplitude += ENVELOPE_STEP;
        else
            amplitude -= decay;
    }
    return noise.envelope;
}

// draw / 32767.0 for every draw, the very same doubles: a division per sample was most of the
// cost of an explosion, and a multiplication by the reciprocal rounds differently.
const std::array<double, 32768> FRACTIONS = [] {
    std::array<double, 32768> fractions{};
    for (size_t draw = 0; draw < fractions.size(); draw++)
        fractions[draw] = static_cast<double>(draw) / 32767.0;
    return fractions;
}();
} // namespace

Sound noise(uint32_t duration, uint16_t /*frequency*/) {
    Sound sound = silence(duration);
    const uint32_t n = sample_count(duration);
    const std::vector<double>& amplitudes = envelope(NOISE, n);
    draw_run(NOISE, n);
    for (uint32_t i = 0; i < n; ++i) {
        // Draws reach 2^31 - 1; the envelope needs draws of at most 32767.
        const uint32_t draw = (NOISE.run[LAG + i] >> 1) % 32768;
        sound.samples[i] = static_cast<int16_t>(FRACTIONS[draw] * amplitudes[i]);
    }
    return sound;
}

void seed_noise(uint32_t seed) {
    seed_state(NOISE, seed);
}
