// Tone synthesis, the effect table and WAV loading, checked sample by sample.
#include "harness.h"
#include "sound/mixer.h"
#include "sound/sound.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
std::vector<int16_t> head_of(const Sound& sound, size_t count) {
    return {sound.samples.begin(), sound.samples.begin() + static_cast<ptrdiff_t>(count)};
}

std::vector<int16_t> tail_of(const Sound& sound, size_t count) {
    return {sound.samples.end() - static_cast<ptrdiff_t>(count), sound.samples.end()};
}

// The amplitude each of `n` tone samples is drawn at.
std::vector<uint16_t> envelope(uint32_t n) {
    std::vector<uint16_t> drawn(n);
    uint16_t amplitude = 0;
    for (uint32_t i = 0; i < n; ++i) {
        drawn[i] = amplitude;
        amplitude = next_amplitude(amplitude, i, n);
    }
    return drawn;
}

void put16(std::string& bytes, uint32_t value) {
    bytes += static_cast<char>(value & 0xff);
    bytes += static_cast<char>(value >> 8 & 0xff);
}

void put32(std::string& bytes, uint32_t value) {
    put16(bytes, value & 0xffff);
    put16(bytes, value >> 16);
}

// A PCM WAV file holding `data` as it is.
void write_wav(const std::string& path, uint16_t channels, uint32_t rate, uint16_t bits,
               const std::string& data) {
    const uint32_t frame = channels * bits / 8u;
    std::string bytes = "RIFF";
    put32(bytes, static_cast<uint32_t>(36 + data.size()));
    bytes += "WAVEfmt ";
    put32(bytes, 16);
    put16(bytes, 1); // PCM
    put16(bytes, channels);
    put32(bytes, rate);
    put32(bytes, rate * frame);
    put16(bytes, frame);
    put16(bytes, bits);
    bytes += "data";
    put32(bytes, static_cast<uint32_t>(data.size()));
    bytes += data;
    std::ofstream(path, std::ios::binary) << bytes;
}

class SoundTest : public testing::Test {
  protected:
    void SetUp() override {
        empty_mixer();
        VOLUME = 10;
        dir = temp_dir();
    }
    void TearDown() override {
        empty_mixer();
        std::filesystem::remove_all(dir);
    }
    std::string dir;
};

TEST_F(SoundTest, BuffersHoldTheSamplesOfTheirMilliseconds) {
    EXPECT_EQ(silence(0).length, 0u);
    EXPECT_TRUE(silence(0).samples.empty());
    queue_sound(silence(0));
    EXPECT_TRUE(mixer_empty());

    const Sound laser = silence(70);
    EXPECT_EQ(laser.length, 6174u);
    EXPECT_EQ(laser.samples, std::vector<int16_t>(3087, 0));
    EXPECT_EQ(silence(50).length, 4410u);
    EXPECT_EQ(silence(150).length, 13230u);
    EXPECT_EQ(silence(350).length, 30870u);
}

TEST_F(SoundTest, TheEnvelopeRisesAndFallsByThirteenAndShortTonesNeverFall) {
    const std::vector<uint16_t> long_tone = envelope(3087);
    EXPECT_EQ(long_tone[0], 0);
    EXPECT_EQ(long_tone[180], 2340);
    EXPECT_EQ(long_tone[2907], 2340);
    EXPECT_EQ(long_tone[2908], 2327);
    EXPECT_EQ(long_tone[3086], 13);

    const std::vector<uint16_t> overlapped = envelope(200);
    EXPECT_EQ(*std::max_element(overlapped.begin(), overlapped.end()), 260);
    EXPECT_EQ(overlapped[20], 260);
    EXPECT_EQ(overlapped[180], 260);
    EXPECT_EQ(overlapped[199], 13);

    const std::vector<uint16_t> short_tone = envelope(100);
    EXPECT_TRUE(std::is_sorted(short_tone.begin(), short_tone.end()));
    EXPECT_EQ(short_tone[99], 1287);
}

TEST_F(SoundTest, SquareStartsWithHalfAPeriodHighAndFollowsTheEnvelope) {
    const Sound sound = square(70, 450);
    ASSERT_EQ(sound.length, 6174u);
    ASSERT_EQ(sound.samples.size(), 3087u);
    EXPECT_EQ(head_of(sound, 3), (std::vector<int16_t>{0, 13, 26}));
    EXPECT_EQ(std::vector<int16_t>(sound.samples.begin() + 47, sound.samples.begin() + 52),
              (std::vector<int16_t>{611, 624, -637, -650, -663}));
    EXPECT_EQ(*std::max_element(sound.samples.begin(), sound.samples.end()), 2340);
    EXPECT_EQ(*std::min_element(sound.samples.begin(), sound.samples.end()), -2340);
    EXPECT_EQ(tail_of(sound, 3), (std::vector<int16_t>{39, 26, 13}));

    const std::vector<uint16_t> drawn = envelope(3087);
    for (size_t i = 0; i < drawn.size(); ++i) ASSERT_EQ(std::abs(sound.samples[i]), drawn[i]) << i;
}

TEST_F(SoundTest, SawtoothRampsUpFromMinusTheAmplitudeEachPeriod) {
    const Sound sound = sawtooth(50, 150);
    ASSERT_EQ(sound.samples.size(), 2205u);
    EXPECT_EQ(head_of(sound, 5), (std::vector<int16_t>{0, -13, -26, -39, -52}));
    EXPECT_EQ(sound.samples[294], -2340);
    EXPECT_EQ(sound.samples[293], 2324);
    EXPECT_EQ(*std::max_element(sound.samples.begin(), sound.samples.end()), 2324);
    EXPECT_EQ(*std::min_element(sound.samples.begin(), sound.samples.end()), -2340);
}

TEST_F(SoundTest, SineStartsAtPhaseZeroRisingAndPeaksJustUnderTheEnvelope) {
    const Sound sound = sine(150, 2000);
    ASSERT_EQ(sound.samples.size(), 6615u);
    EXPECT_EQ(head_of(sound, 8), (std::vector<int16_t>{0, 3, 14, 29, 47, 64, 77, 82}));
    EXPECT_EQ(tail_of(sound, 3), (std::vector<int16_t>{-29, -14, -3}));
    int peak = 0;
    for (int16_t sample : sound.samples) peak = std::max(peak, std::abs(sample));
    EXPECT_EQ(peak, 2339);
}

// The noise envelope seen from outside: one-sided under a ramp that climbs for 180 samples,
// then decays through zero at sample 14459 of an explosion to about -160.
void expect_explosion_envelope(const Sound& sound) {
    ASSERT_EQ(sound.length, 30870u);
    ASSERT_EQ(sound.samples.size(), 15435u);
    EXPECT_EQ(sound.samples[0], 0);
    for (size_t i = 0; i < 180; ++i) {
        ASSERT_GE(sound.samples[i], 0) << i;
        ASSERT_LE(sound.samples[i], 13 * static_cast<int>(i)) << i;
    }
    for (size_t i = 180; i < 14459; ++i) {
        ASSERT_GE(sound.samples[i], 0) << i;
        ASSERT_LE(sound.samples[i], 2340) << i;
    }
    for (size_t i = 14459; i < sound.samples.size(); ++i) {
        ASSERT_LE(sound.samples[i], 0) << i;
        ASSERT_GE(sound.samples[i], -160) << i;
    }
    // Loud in the middle, the draws spread over the whole range.
    const auto [low, high] =
        std::minmax_element(sound.samples.begin() + 180, sound.samples.begin() + 1180);
    EXPECT_LT(*low, 100);
    EXPECT_GT(*high, 2200);
}

TEST_F(SoundTest, NoiseIgnoresTheFrequencyAndDiffersEveryTime) {
    std::srand(7);
    const Sound first = noise(350, 0);
    const Sound second = noise(350, 5000);
    expect_explosion_envelope(first);
    expect_explosion_envelope(second);
    EXPECT_NE(first.samples, second.samples);
}

TEST_F(SoundTest, PlayEffectQueuesTheTableEntry) {
    const std::vector<uint32_t> lengths = {3087, 15435, 2205, 3087, 6615, 6615};
    for (uint8_t effect = FX_LASER; effect <= FX_FANFARE; ++effect) {
        empty_mixer();
        play_effect(effect);
        EXPECT_EQ(MIXER.count, lengths[effect]) << int{effect};
    }

    // The two lasers have one length; what is queued tells which generator made it.
    const std::pair<uint8_t, Sound> tones[] = {{FX_LASER, square(70, 450)},
                                               {FX_HURT, sawtooth(50, 150)},
                                               {FX_LASER_LOW, sawtooth(70, 450)},
                                               {FX_PICKUP, sine(150, 2000)},
                                               {FX_FANFARE, square(150, 1500)}};
    for (const auto& [effect, expected] : tones) {
        empty_mixer();
        play_effect(effect);
        std::vector<int16_t> queued(expected.samples.size());
        for (uint32_t i = 0; i < queued.size(); ++i)
            queued[i] = MIXER.ring[(MIXER.head + i) & (MIXER.ring.size() - 1)];
        EXPECT_EQ(queued, expected.samples) << int{effect};
    }
}

std::string load_and_capture(const std::string& path, Sound* sound) {
    testing::internal::CaptureStderr();
    *sound = load_wav(path.c_str());
    return testing::internal::GetCapturedStderr();
}

TEST_F(SoundTest, AFileThatCannotBeLoadedGivesSilenceAndOneWarning) {
    const std::string missing = dir + "/missing.wav";
    Sound sound{.length = 99, .samples = {1}};
    std::string warning = load_and_capture(missing, &sound);
    EXPECT_EQ(sound.length, 0u);
    EXPECT_TRUE(sound.samples.empty());
    const std::string opening = "queltivar: warning: cannot load " + missing + ": ";
    EXPECT_EQ(warning.rfind(opening, 0), 0u) << warning;
    EXPECT_GT(warning.size(), opening.size() + 1) << "no reason given";
    EXPECT_EQ(std::count(warning.begin(), warning.end(), '\n'), 1);
    EXPECT_EQ(warning.back(), '\n');

    const std::string garbage = dir + "/garbage.wav";
    std::ofstream(garbage) << "these are not the bytes of a WAV file\n";
    sound = Sound{.length = 99, .samples = {1}};
    warning = load_and_capture(garbage, &sound);
    EXPECT_EQ(sound.length, 0u);
    EXPECT_TRUE(sound.samples.empty());
    EXPECT_NE(warning.find(garbage), std::string::npos) << warning;
    EXPECT_EQ(std::count(warning.begin(), warning.end(), '\n'), 1);
}

TEST_F(SoundTest, AWavLoadsAs44100HzMono16BitConvertingOtherFormats) {
    std::string data;
    for (int16_t sample : {0, 1000, -1000, 32767, -32768})
        put16(data, static_cast<uint16_t>(sample));
    write_wav(dir + "/exact.wav", 1, 44100, 16, data);
    Sound sound;
    EXPECT_EQ(load_and_capture(dir + "/exact.wav", &sound), "");
    EXPECT_EQ(sound.length, 10u);
    EXPECT_EQ(sound.samples, (std::vector<int16_t>{0, 1000, -1000, 32767, -32768}));

    // Unsigned 8-bit: 128 is silence, each step is 256 in 16 bits.
    write_wav(dir + "/bytes.wav", 1, 44100, 8, std::string{'\x80', '\xc0', '\x40', '\xff', '\x00'});
    EXPECT_EQ(load_and_capture(dir + "/bytes.wav", &sound), "");
    ASSERT_EQ(sound.length, 10u);
    ASSERT_EQ(sound.samples.size(), 5u);
    const int expected[] = {0, 16384, -16384, 32512, -32768};
    for (size_t i = 0; i < 5; ++i) EXPECT_NEAR(sound.samples[i], expected[i], 2) << i;

    // Stereo at half the rate: twice the samples, the two channels averaged.
    data.clear();
    for (int frame = 0; frame < 1000; ++frame) {
        put16(data, 2000);
        put16(data, 0);
    }
    write_wav(dir + "/stereo.wav", 2, 22050, 16, data);
    EXPECT_EQ(load_and_capture(dir + "/stereo.wav", &sound), "");
    EXPECT_EQ(sound.length, 4000u);
    ASSERT_EQ(sound.samples.size(), 2000u);
    for (size_t i = 200; i < 1800; ++i) ASSERT_NEAR(sound.samples[i], 1000, 20) << i;
}
} // namespace
