// Sound end to end: the real start-up, SDL's audio thread and its disk driver, the captured bytes.
#include "harness.h"
#include "scenes/title.h"
#include "shell/shell.h"
#include "sound/mixer.h"
#include "sound/sound.h"

#include <SDL.h>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <thread>

namespace {
using Samples = std::vector<int16_t>;

// The game started from the repository root with its audio going to a file, all undone after.
struct DiskAudio {
    std::string saved = std::filesystem::current_path(), dir = temp_dir(), file = dir + "/out.raw";
    Samples captured;
    std::string pending;
    std::ifstream in;
    DiskAudio() {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
        // ms a buffer of SDL's default 2048 samples (46 ms): about twice real time, so that the
        // 32 s of music outlast a test thread that a busy machine holds back for seconds.
        setenv("SDL_DISKAUDIODELAY", "20", 1);
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        std::filesystem::current_path(QUELTIVAR_SOURCE_DIR);
    }
    ~DiskAudio() {
        shut_down(); // stops the audio thread before anything it reads is touched
        VOLUME = 10;
        std::filesystem::current_path(saved);
        std::filesystem::remove_all(dir);
    }
    // The capture so far as 16-bit little-endian mono samples; each call reads only what the
    // device wrote since the last, since the file grows for as long as the device runs.
    const Samples& capture() {
        if (!in.is_open()) in.open(file, std::ios::binary);
        in.clear(); // it stopped at the end of what was there last time
        for (std::array<char, 1 << 16> block; in.read(block.data(), block.size()) || in.gcount();)
            pending.append(block.data(), size_t(in.gcount()));
        for (size_t i = 0; i + 1 < pending.size(); i += 2)
            captured.push_back(int16_t(uint8_t(pending[i]) | uint8_t(pending[i + 1]) << 8));
        pending.erase(0, pending.size() / 2 * 2); // a lone last byte waits for its pair
        return captured;
    }
};

// Polls until `done` holds; false after a while far beyond what a loaded machine needs.
bool wait_for(auto done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(5)))
        if (std::chrono::steady_clock::now() > deadline) return false;
    return true;
}

// What the device plays at volume 10 for a mixed sum.
int16_t heard(int32_t sum) {
    return static_cast<int16_t>(std::clamp<int32_t>(sum, INT16_MIN, INT16_MAX) / 20 * 10);
}
} // namespace

TEST(SoundOut, TheDeviceWritesTheTitleMusicThenItsFadeUnderTheLaserOnPlayAndSilenceAtVolumeZero) {
    DiskAudio disk;
    ASSERT_TRUE(start_up() && AUDIO_DEVICE_ID);
    ASSERT_STREQ(SDL_GetCurrentAudioDriver(), "disk");
    FONT = load_bmp_font("assets/font.bmp");
    const Samples music = load_wav("assets/title.wav").samples, laser = square(70, 450).samples;
    ASSERT_GT(music.size(), 2u * AUDIO_RATE);
    // Sample i of the music as played; silence once it is over, as the mixer runs dry then.
    auto music_at = [&](ptrdiff_t i) { return i < std::ssize(music) ? music[i] : int16_t{0}; };

    start_title();
    title_frame();
    title_frame(); // the first frame shows before the music is read
    // The music starts on a buffer boundary after some silence; align on its first audible sample.
    const auto first = std::ranges::find_if(music, heard) - music.begin();
    ptrdiff_t start = -1;
    ASSERT_TRUE(wait_for([&] {
        const Samples& out = disk.capture();
        start = std::ranges::find_if(out, [](int16_t s) { return s != 0; }) - out.begin() - first;
        return start >= 0 && std::ssize(out) > start + 2 * AUDIO_RATE;
    }));

    // The press: fade and laser under one lock, so the audio thread sees both or neither.
    SDL_LockAudioDevice(AUDIO_DEVICE_ID);
    leave_title();
    const size_t pressed = disk.capture().size();
    SDL_UnlockAudioDevice(AUDIO_DEVICE_ID);
    const size_t span = laser.size() + AUDIO_RATE / 10; // the laser, then a tenth of silence
    ASSERT_TRUE(wait_for([&] { return disk.capture().size() > pressed + 8192 + span; }));
    const Samples out = disk.capture();
    size_t d = start; // the first sample that is not the music
    while (d < pressed + 8192 && out[d] == heard(music_at(d - start))) ++d;
    EXPECT_GT(d, start + AUDIO_RATE) << "a second of music, as loaded and scaled, from its start";

    bool found = false; // the fade began at most a buffer before the first difference
    for (size_t at = d; !found && at + 8192 > d && at > size_t(start); --at) {
        Samples expected(span, 0);
        for (int32_t i = 0; i < std::ssize(laser); ++i)
            expected[i] =
                heard((i < 180 ? music_at(at - start + i) / 180 * (180 - i) : 0) + laser[i]);
        found = std::equal(expected.begin(), expected.end(), out.begin() + at);
    }
    EXPECT_TRUE(found) << "the music faded over 180 samples under square(70, 450), then silence";

    VOLUME = 0;
    empty_mixer();
    queue_sound(load_wav("assets/title.wav"));
    const size_t quiet = disk.capture().size();
    ASSERT_TRUE(wait_for([&] { return disk.capture().size() > quiet + AUDIO_RATE; }));
    EXPECT_LT(MIXER.count.load(), music.size() - AUDIO_RATE / 2) << "the music goes on playing";
    const Samples after = disk.capture();
    EXPECT_EQ(std::count(after.begin() + quiet, after.end(), 0),
              std::ssize(after) - ssize_t(quiet));
}
