// The mixer: queued samples summed in a ring, drained sample by sample by SDL's audio thread.
#include "sound/mixer.h"

#include "shell/shell.h"
#include "sound/sound.h"

#include <SDL.h>
#include <algorithm>
#include <bit>

Mixer MIXER;

const SDL_AudioSpec AUDIO_SPEC = {
    .freq = AUDIO_RATE,
    .format = AUDIO_S16LSB,
    .channels = AUDIO_CHANNELS,
    .silence = 0,
    .samples = 0, // SDL's default buffer size
    .padding = 0,
    .size = 0,
    .callback = send_audio,
    .userdata = nullptr,
};

std::atomic<uint8_t> VOLUME = 10;

namespace {
// Without a device (tests, a silent run) there is no audio thread to exclude, and SDL would
// only overwrite its error text with "invalid device".
void lock_mixer() {
    if (AUDIO_DEVICE_ID != 0) SDL_LockAudioDevice(AUDIO_DEVICE_ID);
}

void unlock_mixer() {
    if (AUDIO_DEVICE_ID != 0) SDL_UnlockAudioDevice(AUDIO_DEVICE_ID);
}

constexpr int32_t FADE_SAMPLES = 180; // about 4 ms

int16_t saturate(int32_t value) {
    return static_cast<int16_t>(std::clamp<int32_t>(value, INT16_MIN, INT16_MAX));
}

// The next ring for `samples` queued samples, sized before the lock is taken so that the audio
// thread never waits on an allocation; empty when the present ring is large enough.
std::vector<int16_t> spare_ring(uint32_t samples) {
    if (samples <= MIXER.ring.size()) return {};
    return std::vector<int16_t>(std::bit_ceil(std::max(samples, MIXER_INITIAL_SAMPLES)));
}

// Under the lock: moves what is queued, oldest first, to the start of `spare`, makes it the
// ring and hands the old ring back in `spare` to be freed after the lock is released.
void grow_ring(std::vector<int16_t>& spare) {
    const uint32_t count = MIXER.count.load();
    const uint32_t mask = static_cast<uint32_t>(MIXER.ring.size()) - 1;
    for (uint32_t i = 0; i < count; ++i) spare[i] = MIXER.ring[(MIXER.head + i) & mask];
    MIXER.ring.swap(spare);
    MIXER.head = 0;
}
} // namespace

void queue_sound(const Sound& sound) {
    const uint32_t n =
        std::min<uint32_t>(sound.length / 2, static_cast<uint32_t>(sound.samples.size()));
    if (n == 0) return;
    // Only this thread queues, so the queue can only shrink before the lock is taken.
    std::vector<int16_t> spare = spare_ring(n);
    lock_mixer();
    if (!spare.empty()) grow_ring(spare);
    const uint32_t count = MIXER.count.load();
    const uint32_t mask = static_cast<uint32_t>(MIXER.ring.size()) - 1;
    for (uint32_t i = 0; i < n; ++i) {
        int16_t& slot = MIXER.ring[(MIXER.head + i) & mask];
        // Slots past the queue hold samples already played.
        slot = i < count ? saturate(int32_t{slot} + sound.samples[i]) : sound.samples[i];
    }
    MIXER.count.store(std::max(count, n));
    unlock_mixer();
}

void send_audio(void* /*userdata*/, uint8_t* stream, int len) {
    uint32_t count = MIXER.count.load();
    const uint32_t mask = static_cast<uint32_t>(MIXER.ring.size()) - 1;
    for (int position = 0; position + 1 < len; position += 2) {
        int16_t value = AUDIO_SPEC.silence;
        if (count > 0) {
            const int16_t sample = MIXER.ring[MIXER.head];
            MIXER.head = (MIXER.head + 1) & mask;
            --count;
            // Dividing first keeps 19 x 1638 inside 16 bits.
            value = static_cast<int16_t>(sample / 20 * VOLUME.load(std::memory_order_relaxed));
        }
        const auto bits = static_cast<uint16_t>(value);
        stream[position] = static_cast<uint8_t>(bits & 0xff);
        stream[position + 1] = static_cast<uint8_t>(bits >> 8);
    }
    MIXER.count.store(count);
}

void stop_sound() {
    lock_mixer();
    const uint32_t count = MIXER.count.load();
    const uint32_t mask = static_cast<uint32_t>(MIXER.ring.size()) - 1;
    const uint32_t fading = std::min<uint32_t>(count, FADE_SAMPLES);
    for (uint32_t i = 0; i < fading; ++i) {
        int16_t& slot = MIXER.ring[(MIXER.head + i) & mask];
        slot = static_cast<int16_t>(slot / FADE_SAMPLES * (FADE_SAMPLES - static_cast<int32_t>(i)));
    }
    // The rest stays queued as silence; zeroed as one or two runs, since the title music
    // can leave a million samples and the audio thread waits for the lock meanwhile.
    const uint32_t start = (MIXER.head + fading) & mask;
    const uint32_t silent = count - fading;
    const uint32_t first_run =
        std::min<uint32_t>(silent, static_cast<uint32_t>(MIXER.ring.size()) - start);
    std::fill_n(MIXER.ring.begin() + start, first_run, int16_t{0});
    std::fill_n(MIXER.ring.begin(), silent - first_run, int16_t{0});
    unlock_mixer();
}

void empty_mixer() {
    lock_mixer();
    MIXER.count.store(0);
    unlock_mixer();
}

bool mixer_empty() {
    return MIXER.count.load() == 0;
}
