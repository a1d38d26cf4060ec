// The mixer: every queued output sample, summed, drained by SDL's audio thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

struct Sound;
struct SDL_AudioSpec;

constexpr int32_t AUDIO_RATE = 44100; // output samples per second, mono
constexpr int32_t AUDIO_CHANNELS = 1;

// Queued samples in a ring that only the game thread grows, under the device lock, so the
// audio thread never allocates or frees. Slot `head` is the next sample to play.
struct Mixer {
    std::vector<int16_t> ring;     // samples; its size is 0 or a power of two
    uint32_t head = 0;             // ring index of the next sample to play
    std::atomic<uint32_t> count{}; // queued samples; read without the lock by the title scene
};

// Ring size reserved at the first queue: above the longest effect, so effects never grow it.
constexpr uint32_t MIXER_INITIAL_SAMPLES = 1u << 15;

extern Mixer MIXER;

// The format the audio device is opened with; the callback always works in it.
extern const SDL_AudioSpec AUDIO_SPEC;

// Master volume 0 to 19; output is sample / 20 * VOLUME. Read by the audio thread unlocked.
extern std::atomic<uint8_t> VOLUME;

// Summed, saturating, into the queue from the next sample to play on.
void queue_sound(const Sound& sound);
// SDL's audio callback: the queue at VOLUME, then silence once it runs out.
void send_audio(void* userdata, uint8_t* stream, int len);
// Fades the first 4 ms out and zeroes the rest, which stays queued: a silent tail to drain.
void stop_sound();
// Drops the queue at once, no fade; the ring is kept.
void empty_mixer();
// Whether all that was queued has been played; takes no lock.
bool mixer_drained();
// Drops the ring as well as what it holds, as at start-up: the next queue makes a new ring.
void reset_mixer();
// What is queued, the next sample to play first.
std::vector<int16_t> queued_samples();
