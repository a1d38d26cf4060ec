// The sound subsystem: the mixer driven as the audio thread drives it, tones, effects, WAV files.
#include "harness.h"
#include "sound/mixer.h"
#include "sound/sound.h"
#include "tool.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <regex>

namespace {
using Samples = std::vector<int16_t>;

Sound sound_of(const Samples& samples) {
    return Sound{.length = static_cast<uint32_t>(2 * samples.size()), .samples = samples};
}

// What the device receives for the next `count` output samples.
Samples play(size_t count) {
    Samples out(count, 12345); // garbage that every slot must overwrite
    send_audio(nullptr, reinterpret_cast<uint8_t*>(out.data()), static_cast<int>(2 * count));
    return out;
}

// What play_effect queues on an empty mixer.
Samples effect(uint8_t index) {
    empty_mixer();
    play_effect(index);
    return queued_samples();
}

struct SoundTest : testing::Test {
    void SetUp() override {
        reset_mixer(); // as if never used: the next queue makes a ring of 2^15 samples
        VOLUME = 10;
    }
};

TEST_F(SoundTest, MixerPlaysSaturatedSumsOverTwentyTimesTheVolumeThenSilenceAndEmptyingDropsAll) {
    queue_sound(sound_of(Samples(5000, 1234)));
    empty_mixer();
    stop_sound(); // on an empty mixer
    queue_sound(sound_of(Samples(100, -3000)));
    Samples expected(100, -1500);
    expected.resize(2048, 0); // 4096 bytes
    EXPECT_EQ(play(2048), expected);
    EXPECT_TRUE(mixer_drained());

    queue_sound(sound_of({600, -1000, 19, -39, 30000, -30000}));
    queue_sound(Sound{.length = 15, .samples = {400, 0, 0, 0, 10000, -10000, 20, 999}}); // odd byte
    EXPECT_EQ(queued_samples(), (Samples{1000, -1000, 19, -39, 32767, -32768, 20}));
    EXPECT_EQ(play(4), (Samples{500, -500, 0, -10}));
    VOLUME = 0;
    EXPECT_EQ(play(3), Samples(3, 0));
}

TEST_F(SoundTest, MixerFadesOver180SamplesAndWhatIsQueuedNextAddsAtOnceEvenWhenTheRingGrows) {
    queue_sound(sound_of(Samples(MIXER_INITIAL_SAMPLES - 250, 0)));
    play(MIXER_INITIAL_SAMPLES - 250); // what is queued next wraps around the end of the ring
    queue_sound(sound_of(Samples(300, 9000)));
    queue_sound(sound_of({0, -8000, -10000}));
    stop_sound();
    Samples faded = {9000, 5 * 179, -5 * 178}; // divided by 180 first, truncating toward zero
    for (int i = 3; i < 300; ++i) faded.push_back(i < 180 ? 50 * (180 - i) : 0);
    EXPECT_EQ(queued_samples(), faded); // the silent rest still queued

    queue_sound(sound_of(Samples(MIXER_INITIAL_SAMPLES + 1, 400))); // longer than the ring
    for (int16_t& sample : faded) sample += 400;
    faded.resize(MIXER_INITIAL_SAMPLES + 1, 400);
    EXPECT_EQ(queued_samples(), faded);
}

TEST_F(SoundTest, EffectsQueueTheirTonesRisingByThirteenFor180SamplesHoldingAndFallingToThirteen) {
    const Samples laser = effect(FX_LASER), hurt = effect(FX_HURT), pickup = effect(FX_PICKUP);
    const std::tuple<const Samples&, size_t, int16_t, int16_t> shapes[] = {
        {laser, 3087, -2340, 2340}, {hurt, 2205, -2340, 2324}, {pickup, 6615, -2339, 2339}};
    for (const auto& [samples, size, low, high] : shapes)
        EXPECT_EQ(std::tuple(samples.size(), std::ranges::min(samples), std::ranges::max(samples)),
                  std::tuple(size, low, high));
    const std::tuple<const Samples&, size_t, Samples> runs[] = {
        {laser, 0, {0, 13, 26}},       {laser, 47, {611, 624, -637, -650, -663}},
        {laser, 3084, {39, 26, 13}},   {hurt, 0, {0, -13, -26, -39, -52}},
        {hurt, 293, {2324, -2340}},    {pickup, 0, {0, 3, 14, 29, 47, 64, 77, 82}},
        {pickup, 6612, {-29, -14, -3}}};
    for (const auto& [samples, at, run] : runs)
        EXPECT_EQ(Samples(samples.begin() + at, samples.begin() + at + run.size()), run) << at;

    EXPECT_EQ(effect(FX_LASER_LOW), sawtooth(70, 450).samples);
    EXPECT_EQ(effect(FX_FANFARE), square(150, 1500).samples);
    // The explosion is fresh noise on every play, as long at any frequency.
    EXPECT_EQ(effect(FX_EXPLOSION).size(), noise(350, 5000).samples.size());
    EXPECT_NE(effect(FX_EXPLOSION), noise(350, 5000).samples);
    // Seeded, the noise is the C library's rand(), draw for draw, under the rising envelope.
    seed_noise(77);
    const Samples seeded = noise(350, 0).samples;
    std::srand(77);
    for (int32_t i = 0; i < 180; i++)
        ASSERT_EQ(seeded[i], static_cast<int16_t>(std::rand() % 32768 / 32767.0 * (13.0 * i))) << i;
    seed_noise(77);
    EXPECT_EQ(noise(350, 0).samples, seeded);
}

TEST_F(SoundTest, EveryGeneratorTakesAnyFrequencyAndAnyDurationWithinItsEnvelope) {
    const std::pair<const char*, Generator> generators[] = {
        {"sine", sine}, {"square", square}, {"sawtooth", sawtooth}, {"noise", noise}};
    for (const auto& [name, generator] : generators)
        for (uint16_t frequency : {0, 1, 22050, 22051, 44100, 44101, 65535})
            for (uint32_t duration : {0, 1, 4, 70}) {
                const Sound sound = generator(duration, frequency);
                EXPECT_EQ(std::pair(sound.length, sound.samples.size()),
                          std::pair(silence(duration).length, size_t{silence(duration).length / 2}))
                    << name << " " << frequency << " Hz " << duration << " ms";
                for (int16_t sample : sound.samples) ASSERT_LE(std::abs(sample), 2340) << name;
            }
    // Past the output rate, and past half of it for a square, a tone keeps its highest pitch.
    EXPECT_EQ(sawtooth(70, 44101).samples, sawtooth(70, 44100).samples);
    EXPECT_EQ(sawtooth(70, 65535).samples, sawtooth(70, 44100).samples);
    EXPECT_EQ(square(70, 30000).samples, square(70, 22050).samples);
    // The longest sounds are as long as a 32-bit count of bytes holds: about 13.5 hours.
    EXPECT_EQ(sound_bytes(70), 6174u);
    EXPECT_EQ(sound_bytes(48'000'000), 4'233'600'000u);
    EXPECT_EQ(sound_bytes(49'000'000), UINT32_MAX);
    EXPECT_EQ(sound_bytes(UINT32_MAX), UINT32_MAX);
}

TEST_F(SoundTest, AWavInAnotherFormatLoadsAs44100HzMono16BitAndAMissingOneAsNothingWithAWarning) {
    // Unsigned 8-bit stereo at half the rate: 64 above silence on the left, silence on the right.
    std::string wav = wav_header(
        {.channels = 2, .rate = 22050, .byte_rate = 2 * 22050, .block_align = 2, .bits = 8}, 2000);
    for (int frame = 0; frame < 1000; ++frame) wav += "\xc0\x80";
    WorkDir work;
    write_file("stereo.wav", wav);
    Sound sound = load_wav("stereo.wav");
    ASSERT_EQ(sound.samples.size(), 2000u);
    for (size_t i = 200; i < 1800; ++i) ASSERT_NEAR(sound.samples[i], 64 * 256 / 2, 100) << i;

    testing::internal::CaptureStderr();
    sound = load_wav("missing.wav");
    EXPECT_TRUE(sound.length == 0 && sound.samples.empty());
    const std::string warning = testing::internal::GetCapturedStderr();
    const std::regex one_line("queltivar: warning: cannot load " + work.dir +
                              "/missing\\.wav: No such file or directory\n");
    EXPECT_TRUE(std::regex_match(warning, one_line)) << warning;
}
} // namespace
