// The mixer: queued samples summed in a ring, drained sample by sample by SDL's audio thread.
#include "sound/mixer.h"

#include "platform/platform.h"
#include "sound/sound.h"

#include <SDL.h>
#include <algorithm>
#include <bit>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

// Calls `run(slots, offset, length)` for the `n` ring slots from `start` as at most two
// contiguous runs, `offset` counting from the first slot: plain loops the compiler vectorises.
template <class Run>
void for_runs(uint32_t start, uint32_t n, Run run) {
    if (n == 0) return;
    const uint32_t first = std::min<uint32_t>(n, static_cast<uint32_t>(MIXER.ring.size()) - start);
    run(MIXER.ring.data() + start, size_t{0}, size_t{first});
    if (first < n) run(MIXER.ring.data(), size_t{first}, size_t{n - first});
}

// The ring slot `n` samples after the next one to play.
uint32_t slot_after(uint32_t n) {
    return (MIXER.head + n) & (static_cast<uint32_t>(MIXER.ring.size()) - 1);
}

// Sums `from` into `slots`, saturating: eight samples an instruction where SSE2 is there.
void mix_into(int16_t* slots, const int16_t* from, size_t length) {
    size_t i = 0;
#ifdef __SSE2__
    for (; i + 8 <= length; i += 8) {
        const __m128i queued = _mm_loadu_si128(reinterpret_cast<const __m128i*>(slots + i));
        const __m128i added = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(slots + i), _mm_adds_epi16(queued, added));
    }
#endif
    for (; i < length; ++i) slots[i] = saturate(int32_t{slots[i]} + from[i]);
}

// One output sample as signed 16-bit little-endian bytes.
void put_sample(uint8_t* bytes, int16_t value) {
    auto bits = static_cast<uint16_t>(value);
    if constexpr (std::endian::native == std::endian::big)
        bits = static_cast<uint16_t>(bits << 8 | bits >> 8);
    std::memcpy(bytes, &bits, sizeof bits);
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
    for_runs(MIXER.head, MIXER.count.load(),
             [&spare](const int16_t* slots, size_t offset, size_t length) {
                 std::copy_n(slots, length, spare.begin() + static_cast<ptrdiff_t>(offset));
             });
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
    const int16_t* source = sound.samples.data();
    // Summed into what is queued; slots past the queue hold samples already played.
    const uint32_t mixed = std::min(count, n);
    for_runs(MIXER.head, mixed, [source](int16_t* slots, size_t offset, size_t length) {
        mix_into(slots, source + offset, length);
    });
    for_runs(slot_after(mixed), n - mixed,
             [source, mixed](int16_t* slots, size_t offset, size_t length) {
                 std::copy_n(source + mixed + offset, length, slots);
             });
    MIXER.count.store(std::max(count, n));
    unlock_mixer();
}

void send_audio(void* /*userdata*/, uint8_t* stream, int len) {
    const uint32_t wanted = len > 0 ? static_cast<uint32_t>(len) / 2 : 0; // an odd byte is left
    const uint32_t count = MIXER.count.load();
    const uint32_t playing = std::min(count, wanted);
    // Read once a callback: a change of volume is heard from the next buffer on.
    const int32_t volume = VOLUME.load(std::memory_order_relaxed);
    uint8_t* out = stream;
    for_runs(MIXER.head, playing, [&out, volume](const int16_t* slots, size_t, size_t length) {
        uint8_t* to = out; // a copy the stores cannot alias, so that the loop vectorises
        // Dividing first keeps 19 x 1638 inside 16 bits.
        for (size_t i = 0; i < length; ++i)
            put_sample(to + 2 * i, static_cast<int16_t>(slots[i] / 20 * volume));
        out = to + 2 * length;
    });
    for (size_t i = 0; i < wanted - playing; ++i) put_sample(out + 2 * i, AUDIO_SPEC.silence);
    MIXER.head = slot_after(playing);
    MIXER.count.store(count - playing);
}

void stop_sound() {
    lock_mixer();
    const uint32_t count = MIXER.count.load();
    const uint32_t fading = std::min<uint32_t>(count, FADE_SAMPLES);
    for_runs(MIXER.head, fading, [](int16_t* slots, size_t offset, size_t length) {
        for (size_t i = 0; i < length; ++i) {
            const auto factor = FADE_SAMPLES - static_cast<int32_t>(offset + i);
            slots[i] = static_cast<int16_t>(slots[i] / FADE_SAMPLES * factor);
        }
    });
    // The rest stays queued as silence, zeroed run by run: the title music can leave a
    // million samples, and the audio thread waits for the lock meanwhile.
    for_runs(slot_after(fading), count - fading,
             [](int16_t* slots, size_t, size_t length) { std::fill_n(slots, length, int16_t{0}); });
    unlock_mixer();
}

void empty_mixer() {
    lock_mixer();
    MIXER.count.store(0);
    unlock_mixer();
}

bool mixer_drained() {
    return MIXER.count.load() == 0;
}

void reset_mixer() {
    std::vector<int16_t> old; // freed once the lock is released
    lock_mixer();
    MIXER.ring.swap(old);
    MIXER.head = 0;
    MIXER.count.store(0);
    unlock_mixer();
}

std::vector<int16_t> queued_samples() {
    std::vector<int16_t> samples;
    samples.reserve(MIXER.ring.size()); // only this thread grows the ring
    lock_mixer();
    samples.resize(MIXER.count.load());
    for_runs(MIXER.head, static_cast<uint32_t>(samples.size()),
             [&samples](const int16_t* slots, size_t offset, size_t length) {
                 std::copy_n(slots, length, samples.begin() + static_cast<ptrdiff_t>(offset));
             });
    unlock_mixer();
    return samples;
}
