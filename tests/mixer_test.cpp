// The mixer driven as the audio thread drives it: queue, then pull samples through send_audio.
#include "sound/mixer.h"
#include "sound/sound.h"

#include <gtest/gtest.h>
#include <vector>

namespace {
Sound sound_of(const std::vector<int16_t>& samples) {
    return Sound{.length = static_cast<uint32_t>(2 * samples.size()), .samples = samples};
}

// What the device receives for the next `count` output samples.
std::vector<int16_t> play(size_t count) {
    std::vector<uint8_t> bytes(2 * count, 0xab); // garbage that every slot must overwrite
    send_audio(nullptr, bytes.data(), static_cast<int>(bytes.size()));
    std::vector<int16_t> out(count);
    for (size_t i = 0; i < count; ++i)
        out[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return out;
}

// The sample queued `i` places after the next one to play.
int16_t queued(uint32_t i) {
    return MIXER.ring[(MIXER.head + i) & (MIXER.ring.size() - 1)];
}

// Plays silence until the next sample to play sits `before_end` slots before the end of the
// ring, so that what is queued next wraps around it.
void move_head_near_end(uint32_t before_end) {
    queue_sound(sound_of({0}));
    play(1);
    const auto capacity = static_cast<uint32_t>(MIXER.ring.size());
    const uint32_t steps = (capacity - before_end - MIXER.head) & (capacity - 1);
    if (steps > 0) {
        queue_sound(sound_of(std::vector<int16_t>(steps, 0)));
        play(steps);
    }
    ASSERT_EQ(MIXER.head, capacity - before_end);
}

class MixerTest : public testing::Test {
  protected:
    void SetUp() override {
        empty_mixer();
        VOLUME = 10;
    }
    void TearDown() override {
        empty_mixer();
        VOLUME = 10;
    }
};

TEST_F(MixerTest, ASoundQueuedOnAnEmptyMixerPlaysInTheNextSamplesThenSilence) {
    std::vector<int16_t> samples(3087);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(i % 500 * 20);
    queue_sound(sound_of(samples));
    EXPECT_EQ(MIXER.count, 3087u);
    EXPECT_FALSE(mixer_empty());

    const std::vector<int16_t> out = play(3087);
    for (size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(out[i], samples[i] / 2) << i;
    EXPECT_TRUE(mixer_empty());
    EXPECT_EQ(play(4), std::vector<int16_t>(4, 0));
}

TEST_F(MixerTest, EmptyAndOddByteSoundsQueueOnlyWholeSamples) {
    queue_sound(Sound{.length = 0, .samples = {}});
    queue_sound(Sound{.length = 1, .samples = {}});
    EXPECT_TRUE(mixer_empty());

    queue_sound(Sound{.length = 5, .samples = {1000, 2000}}); // the fifth byte is dropped
    EXPECT_EQ(MIXER.count, 2u);
    EXPECT_EQ(play(3), (std::vector<int16_t>{500, 1000, 0}));
}

TEST_F(MixerTest, TwoSoundsQueuedTogetherAddSampleBySampleOverTheLongerLength) {
    queue_sound(sound_of({100, 200, 300, 400, 500}));
    queue_sound(sound_of({1000, -2000, 40}));
    EXPECT_EQ(MIXER.count, 5u);
    EXPECT_EQ(play(6), (std::vector<int16_t>{550, -900, 170, 200, 250, 0}));
}

TEST_F(MixerTest, AnEffectQueuedDuringLongMusicIsHeardAtOnce) {
    queue_sound(sound_of(std::vector<int16_t>(50000, 2000)));
    play(1000);
    queue_sound(sound_of({400, 400}));
    EXPECT_EQ(MIXER.count, 49000u);
    EXPECT_EQ(play(3), (std::vector<int16_t>{1200, 1200, 1000}));
}

TEST_F(MixerTest, SumsSaturateInsteadOfWrapping) {
    queue_sound(sound_of({30000, -30000, 20000, 32767}));
    queue_sound(sound_of({10000, -10000, -5000, 1}));
    EXPECT_EQ(queued(0), 32767);
    EXPECT_EQ(queued(1), -32768);
    EXPECT_EQ(queued(2), 15000);
    EXPECT_EQ(queued(3), 32767);

    VOLUME = 19;
    EXPECT_EQ(play(3), (std::vector<int16_t>{31122, -31122, 14250}));
}

TEST_F(MixerTest, VolumeScalesAfterDividingByTwenty) {
    const Sound sound = sound_of({1000, -1000, 19, -39, 20, -19});
    queue_sound(sound);
    EXPECT_EQ(play(6), (std::vector<int16_t>{500, -500, 0, -10, 10, 0}));

    VOLUME = 0;
    queue_sound(sound);
    EXPECT_EQ(play(6), std::vector<int16_t>(6, 0));
}

TEST_F(MixerTest, ACallbackLongerThanTheQueueEndsInSilenceAndEmptiesIt) {
    queue_sound(sound_of(std::vector<int16_t>(100, -3000)));
    const std::vector<int16_t> out = play(2048); // 4096 bytes
    for (size_t i = 0; i < 100; ++i) ASSERT_EQ(out[i], -1500) << i;
    for (size_t i = 100; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
    EXPECT_TRUE(mixer_empty());
}

TEST_F(MixerTest, StopSoundFadesOverOneHundredEightySamplesAndKeepsTheQueuedTime) {
    move_head_near_end(250); // the silence behind the fade wraps around the ring
    std::vector<int16_t> samples(300, 9000);
    samples[1] = 1000;
    samples[2] = -1000;
    samples[3] = 179;
    samples[4] = -180;
    queue_sound(sound_of(samples));
    stop_sound();

    EXPECT_EQ(MIXER.count, 300u);
    EXPECT_EQ(queued(0), 9000);
    EXPECT_EQ(queued(1), 5 * 179);
    EXPECT_EQ(queued(2), -5 * 178);
    EXPECT_EQ(queued(3), 0);
    EXPECT_EQ(queued(4), -176);
    EXPECT_EQ(queued(5), 50 * 175);
    EXPECT_EQ(queued(179), 50);
    for (uint32_t i = 180; i < 300; ++i) ASSERT_EQ(queued(i), 0) << i;

    // An effect queued right after the fade plays at once, over the fade and then alone.
    queue_sound(sound_of(std::vector<int16_t>(200, 400)));
    EXPECT_EQ(MIXER.count, 300u);
    const std::vector<int16_t> out = play(300);
    EXPECT_EQ(out[0], (9000 + 400) / 20 * 10);
    EXPECT_EQ(out[179], (50 + 400) / 20 * 10);
    EXPECT_EQ(out[180], 200);
    EXPECT_EQ(out[199], 200);
    for (size_t i = 200; i < 300; ++i) ASSERT_EQ(out[i], 0) << i;
    EXPECT_TRUE(mixer_empty());

    stop_sound(); // on an empty mixer
    EXPECT_TRUE(mixer_empty());
}

TEST_F(MixerTest, EmptyMixerDropsEverythingQueued) {
    queue_sound(sound_of(std::vector<int16_t>(5000, 1234)));
    empty_mixer();
    EXPECT_TRUE(mixer_empty());
    EXPECT_EQ(play(10), std::vector<int16_t>(10, 0));

    // Samples dropped here must not come back into a later sound.
    queue_sound(sound_of({100, 100}));
    EXPECT_EQ(play(3), (std::vector<int16_t>{50, 50, 0}));
    empty_mixer(); // on an empty mixer
    EXPECT_TRUE(mixer_empty());
}

TEST_F(MixerTest, GrowingTheRingKeepsWhatIsQueuedInOrderEvenWhenItWraps) {
    move_head_near_end(100);
    const auto capacity = static_cast<uint32_t>(MIXER.ring.size());
    ASSERT_GE(capacity, 15435u); // the explosion, the longest effect, fits without growing
    ASSERT_EQ(capacity & (capacity - 1), 0u);

    std::vector<int16_t> ramp(300);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(20 * i);
    queue_sound(sound_of(ramp));
    EXPECT_EQ(MIXER.ring.size(), capacity);
    std::vector<int16_t> out = play(150); // the head passes the end of the ring
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], ramp[i] / 2) << i;

    // 150 ramp samples are still queued, wrapped; a sound three rings long makes it grow.
    std::vector<int16_t> pattern(3 * static_cast<size_t>(capacity));
    for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<int16_t>(i % 7 * 20);
    queue_sound(sound_of(pattern));
    EXPECT_EQ(MIXER.ring.size(), 4 * static_cast<size_t>(capacity));
    EXPECT_EQ(MIXER.count, pattern.size());
    out = play(pattern.size() + 1);
    for (size_t i = 0; i < 150; ++i) ASSERT_EQ(out[i], (ramp[150 + i] + pattern[i]) / 2) << i;
    for (size_t i = 150; i < pattern.size(); ++i) ASSERT_EQ(out[i], pattern[i] / 2) << i;
    EXPECT_EQ(out.back(), 0);
    EXPECT_TRUE(mixer_empty());
}
} // namespace
