// Sound: the mixer driven as the audio thread drives it, tones, effects and WAV files.
#include "harness.h"
#include "sound/mixer.h"
#include "sound/sound.h"
#include "tool.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {
using Samples = std::vector<int16_t>;

Sound sound_of(const Samples& samples) {
    return Sound{.length = static_cast<uint32_t>(2 * samples.size()), .samples = samples};
}

Samples sent(size_t count) {
    Samples out(count, 12345); // garbage that every slot must overwrite
    send_audio(nullptr, reinterpret_cast<uint8_t*>(out.data()), static_cast<int>(2 * count));
    return out;
}

Samples effect(uint8_t index) {
    empty_mixer();
    play_effect(index);
    return queued_samples();
}

TEST(Sound, MixerSaturatesScalesFadesAndGrows) {
    reset_mixer(); // as if never used: the next queue makes a ring of 2^15 samples
    VOLUME = 10;
    queue_sound(sound_of(Samples(5000, 1234)));
    empty_mixer();
    stop_sound(); // on an empty mixer
    queue_sound(sound_of(Samples(100, -3000)));
    Samples expected(100, -3000 / 20 * 10);
    expected.resize(2048, 0); // then silence
    EXPECT_EQ(sent(2048), expected);
    EXPECT_TRUE(mixer_drained());
    queue_sound(sound_of({600, -1000, 19, -39, 30000, -30000}));
    queue_sound(Sound{.length = 15, .samples = {400, 0, 0, 0, 10000, -10000, 20, 999}}); // odd byte
    EXPECT_EQ(queued_samples(), (Samples{1000, -1000, 19, -39, 32767, -32768, 20}));
    EXPECT_EQ(sent(4), (Samples{500, -500, 0, -10}));
    reset_mixer();
    queue_sound(sound_of(Samples(MIXER_INITIAL_SAMPLES - 250, 0)));
    sent(MIXER_INITIAL_SAMPLES - 250); // what is queued next wraps around the end of the ring
    queue_sound(sound_of(Samples(300, 9000)));
    queue_sound(sound_of({0, -8000, -10000}));
    stop_sound();
    Samples faded = {9000, 5 * 179, -5 * 178}; // divided by 180 first, truncating toward zero
    for (int i = 3; i < 300; ++i) faded.push_back(i < 180 ? 50 * (180 - i) : 0);
    EXPECT_EQ(queued_samples(), faded) << "over 180 samples, the silent rest still queued";
    queue_sound(sound_of(Samples(MIXER_INITIAL_SAMPLES + 1, 400))); // longer than the ring
    for (int16_t& sample : faded) sample += 400;
    faded.resize(MIXER_INITIAL_SAMPLES + 1, 400);
    EXPECT_EQ(queued_samples(), faded);
    VOLUME = 0;
    EXPECT_EQ(sent(3), Samples(3, 0));
}

// A tone rises by 13 a sample for 180 samples, holds, and falls back to 13.
TEST(Sound, GeneratorsFollowTheirEnvelopes) {
    const Samples laser = effect(FX_LASER), hurt = effect(FX_HURT), pickup = effect(FX_PICKUP);
    auto from = [](auto& s, int at, int n) { return Samples(s.begin() + at, s.begin() + at + n); };
    EXPECT_EQ(hurt.size(), 2205u) << "laser and pickup: their releases end below";
    EXPECT_EQ(from(laser, 0, 3), (Samples{0, 13, 26}));
    EXPECT_EQ(from(laser, 47, 5), (Samples{611, 624, -637, -650, -663}));
    EXPECT_EQ(from(laser, 3084, 3), (Samples{39, 26, 13}));
    EXPECT_EQ(from(hurt, 0, 5), (Samples{0, -13, -26, -39, -52}));
    EXPECT_EQ(from(hurt, 293, 2), (Samples{2324, -2340}));
    EXPECT_EQ(from(pickup, 0, 8), (Samples{0, 3, 14, 29, 47, 64, 77, 82}));
    EXPECT_EQ(from(pickup, 6612, 3), (Samples{-29, -14, -3}));
    for (const Generator make : {sine, square, sawtooth, noise})
        for (const uint16_t hz : {0, 1, 22050, 22051, 44100, 44101, 65535})
            for (const uint32_t ms : {0, 1, 4, 70}) {
                const Sound sound = make(ms, hz);
                EXPECT_EQ(sound.length, 2 * sound.samples.size()) << hz << " Hz " << ms << " ms";
                EXPECT_EQ(sound.length, sound_bytes(ms)) << hz << " Hz " << ms << " ms";
                for (int16_t sample : sound.samples) ASSERT_LE(std::abs(sample), 2340) << hz;
            }
    // Too high a pitch plays the highest there is (the sawtooth's once divided by zero).
    EXPECT_EQ(sawtooth(70, 44101).samples, sawtooth(70, 44100).samples);
    EXPECT_EQ(square(70, 30000).samples, square(70, 22050).samples);
    EXPECT_EQ(sound_bytes(48'000'000), 4'233'600'000u);
    EXPECT_EQ(sound_bytes(49'000'000), UINT32_MAX) << "past 32 bits, the most they hold";
    EXPECT_NE(effect(FX_EXPLOSION), effect(FX_EXPLOSION)) << "fresh noise on every play";
    // Seeded, the noise is the C library's rand(), draw for draw, under the envelope.
    seed_noise(77);
    const Samples seeded = noise(350, 0).samples;
    std::srand(77);
    for (int32_t i = 0; i < 180; i++)
        ASSERT_EQ(seeded[i], static_cast<int16_t>(std::rand() % 32768 / 32767.0 * (13.0 * i))) << i;
    seed_noise(77);
    EXPECT_EQ(noise(350, 0).samples, seeded);
}

TEST(Sound, WavConvertsTo44100HzMono) {
    // Unsigned 8-bit stereo at half the rate: 64 above silence on the left, silence on the right.
    auto wav = wav_header({.channels = 2, .rate = 22050, .byte_rate = 44100, .bits = 8}, 2000);
    for (int frame = 0; frame < 1000; ++frame) wav += "\xc0\x80";
    WorkDir work;
    write_file("stereo.wav", wav);
    const Sound sound = load_wav("stereo.wav");
    ASSERT_EQ(sound.samples.size(), 2000u) << "44100 Hz mono";
    for (size_t i = 200; i < 1800; ++i) ASSERT_NEAR(sound.samples[i], 64 * 256 / 2, 100) << i;
}

#ifdef __SANITIZE_ADDRESS__
// gcc's libasan has the allocator hooks without always shipping their header.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
thread_local size_t heap_calls_made = 0; // on this thread alone

// On SDL's audio thread an allocation or a free can wait on a lock that the game thread holds.
TEST(AudioPath, CallbackNeverAllocatesOrFrees) {
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(
        [](const volatile void*, size_t) { ++heap_calls_made; },
        [](const volatile void*) { ++heap_calls_made; });
    if (!installed) GTEST_SKIP() << "the sanitizer refused another pair of allocator hooks";
    const Sound music = load_wav(QUELTIVAR_SOURCE_DIR "/assets/title.wav");
    ASSERT_GT(music.samples.size(), size_t{MIXER_INITIAL_SAMPLES});
    std::vector<uint8_t> stream(1 << 17);
    const auto heap_calls = [](auto action) {
        const size_t before = heap_calls_made;
        action();
        return heap_calls_made - before;
    };
    const auto drain = [&](int len) {
        EXPECT_EQ(heap_calls([&] { send_audio(nullptr, stream.data(), len); }), 0u) << len;
    };
    reset_mixer(); // as at start-up: the first queue makes the ring
    drain(4096);   // nothing queued at all
    EXPECT_GE(heap_calls([] { play_effect(FX_LASER); }), 1u) << "the counter counts";
    for (int len : {1, 1470, 4095, 2 * 40000}) drain(len); // the last runs the queue dry
    EXPECT_GE(heap_calls([&] { queue_sound(music); }), 2u) << "a bigger ring, the old one freed";
    const int lengths[] = {1470, 4096, 8191, 3, 1 << 17};
    for (size_t i = 0; !mixer_drained(); ++i) {
        play_effect(uint8_t(i % SOUND_EFFECTS.size()));
        drain(lengths[i % std::size(lengths)]);
    }
    reset_mixer();
}
#endif
} // namespace
