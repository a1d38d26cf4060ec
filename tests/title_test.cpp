// The title scene, played frame by frame on a test font with its own art and music files.
#include "harness.h"

#include "input/input.h"
#include "scenes/play.h"
#include "scenes/title.h"
#include "shell/shell.h"
#include "sound/mixer.h"
#include "sound/sound.h"

#include <SDL.h>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
// A working directory of its own, with the title's two files as the test writes them.
struct TitleFiles {
    std::filesystem::path saved = std::filesystem::current_path();
    std::string dir = temp_dir();

    TitleFiles() {
        std::filesystem::create_directory(dir + "/assets");
        std::filesystem::current_path(dir);
        TITLE_DATA = {};
    }
    ~TitleFiles() {
        std::filesystem::current_path(saved);
        std::filesystem::remove_all(dir);
    }
    void art(const std::string& text) const {
        FILE* file = std::fopen("assets/title.txt", "wb");
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    // A 44100 Hz mono 16-bit WAV of `count` samples, each sample i holding 1000 + i.
    void music(uint32_t count) const {
        std::vector<uint8_t> wav;
        auto put = [&](uint32_t value, int bytes) {
            for (int i = 0; i < bytes; i++) wav.push_back(value >> (8 * i) & 0xFF);
        };
        wav.insert(wav.end(), {'R', 'I', 'F', 'F'});
        put(36 + count * 2, 4);
        wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
        put(16, 4), put(1, 2), put(1, 2), put(44100, 4), put(88200, 4), put(2, 2), put(16, 2);
        wav.insert(wav.end(), {'d', 'a', 't', 'a'});
        put(count * 2, 4);
        for (uint32_t i = 0; i < count; i++) put(1000 + i, 2);
        FILE* file = std::fopen("assets/title.wav", "wb");
        std::fwrite(wav.data(), 1, wav.size(), file);
        std::fclose(file);
    }
};

std::vector<int16_t> drain(size_t samples) {
    std::vector<int16_t> out(samples);
    send_audio(nullptr, reinterpret_cast<uint8_t*>(out.data()), static_cast<int>(samples * 2));
    return out;
}
} // namespace

TEST(Title, TheScreenShowsFrameCaptionArtNamePlayAndSlider) {
    Headless game;
    TitleFiles files;
    std::string long_line(70, 'x');
    long_line[62] = 'y';
    long_line[63] = 'z';
    files.art("stars\n" + long_line + "\nafter\n");
    files.music(10);
    VOLUME = 10;
    start_title();
    title_frame();
    Frame frame = read_frame();

    for (int row = 0; row < 36; row++) {
        EXPECT_EQ(frame.at(row, 0).glyph, '>') << row;
        EXPECT_TRUE(same_colour(frame.at(row, 0), DARK_GRAY));
        if (row != 1) {
            EXPECT_EQ(frame.at(row, 63).glyph, '<') << row;
        }
    }
    for (int i = 0; i < 13; i++) EXPECT_EQ(frame.at(35, 1 + i).glyph, 160 + i);
    for (int i = 0; i < 12; i++) EXPECT_EQ(frame.at(35, 14 + i).glyph, 180 + i);
    EXPECT_TRUE(same_colour(frame.at(35, 20), DARK_GRAY));
    EXPECT_EQ(frame.at(35, 26).glyph, 0);

    EXPECT_EQ(frame.text(0, 1, 5), "stars");
    EXPECT_EQ(frame.at(0, 6).glyph, 10) << "the kept line feed is drawn as glyph 10";
    EXPECT_EQ(frame.at(1, 62).glyph, 'x');
    EXPECT_EQ(std::string(TITLE_DATA[1].data()), long_line.substr(0, 63))
        << "63 characters of a long line fill one row";
    EXPECT_EQ(frame.text(2, 1, 7), "zxxxxxx") << "its remaining 7 start the next row";
    EXPECT_EQ(frame.at(2, 8).glyph, 10);
    EXPECT_EQ(frame.text(3, 1, 5), "after") << "later lines move down a row";
    EXPECT_EQ(frame.at(4, 1).glyph, 0) << "rows past the file's end show nothing";

    EXPECT_EQ(frame.text(5, 21, 22), "QUELTIVAR NOSPERIDA KU");
    EXPECT_TRUE(same_colour(frame.at(5, 21), WHITE));
    EXPECT_EQ(frame.text(18, 30, 4), "PLAY");
    EXPECT_TRUE(same_colour(frame.at(18, 33), WHITE));
    EXPECT_EQ(frame.text(30, 29, 6), "VOLUME");
    EXPECT_EQ(frame.at(31, 32).glyph, '+');
    EXPECT_EQ(frame.at(31, 22).glyph, 159);
    leave_title();
}

TEST(Title, CarriageReturnLineFeedIsOneLineFeedAndRowsKeepTheirEarlierArt) {
    Headless game;
    TitleFiles files;
    files.art("AB\r\nC\rD\r\n\r\nlast");
    load_title_data("assets/title.txt");
    EXPECT_STREQ(TITLE_DATA[0].data(), "AB\n");
    EXPECT_STREQ(TITLE_DATA[1].data(), "C\rD\n") << "a lone carriage return is a character";
    EXPECT_STREQ(TITLE_DATA[2].data(), "\n");
    EXPECT_STREQ(TITLE_DATA[3].data(), "last");

    files.art("one\n");
    load_title_data("assets/title.txt");
    EXPECT_STREQ(TITLE_DATA[0].data(), "one\n");
    EXPECT_STREQ(TITLE_DATA[1].data(), "C\rD\n") << "a shorter file leaves later rows as they were";
}

TEST(Title, TheMusicLoopsWheneverTheMixerRunsDry) {
    Headless game;
    TitleFiles files;
    files.art("");
    files.music(300);
    start_title();
    title_frame();
    ASSERT_EQ(MIXER.count, 300u);
    title_frame();
    EXPECT_EQ(MIXER.count, 300u) << "nothing is queued while the music still plays";
    VOLUME = 19;
    std::vector<int16_t> played = drain(300);
    EXPECT_EQ(played[0], 1000 / 20 * 19);
    EXPECT_EQ(played[299], 1299 / 20 * 19);
    title_frame();
    EXPECT_EQ(MIXER.count, 300u) << "the music starts again from its beginning";
    EXPECT_EQ(drain(1)[0], 1000 / 20 * 19);
    VOLUME = 10;
    leave_title();
}

TEST(Title, PressingPlayFadesTheMusicPlaysTheLaserAndWaitsForTheRelease) {
    Headless game;
    TitleFiles files;
    files.art("");
    files.music(5000);
    start_title();
    title_frame();
    EXPECT_EQ(STATE, title) << "nothing pressed yet";

    on_read([] {
        move_pointer(545, 330);
        push_button(SDL_BUTTON_LEFT, true);
    });
    title_frame();
    EXPECT_EQ(STATE, play);
    EXPECT_EQ(CHANGE_STATE, 1);

    // Three more reads with the button held, then the release.
    for (int i = 0; i < 3; i++) on_read([] {});
    on_read([] { push_button(SDL_BUTTON_LEFT, false); });
    leave_title();
    EXPECT_EQ(pending_reads(), 0u) << "the scene waited for the release";
    EXPECT_EQ(MOUSE[SDL_BUTTON_LEFT], 0);

    // The fade keeps the queue's length; the laser sound plays over it at once.
    EXPECT_EQ(MIXER.count, 5000u);
    Sound laser = square(70, 450);
    VOLUME = 10;
    std::vector<int16_t> out = drain(400);
    int16_t faded = static_cast<int16_t>((1000 + 50) / 180 * (180 - 50));
    EXPECT_EQ(out[50], (faded + laser.samples[50]) / 20 * 10);
    EXPECT_EQ(out[300], laser.samples[300] / 20 * 10) << "the music is silent after the fade";
}

TEST(Title, APressOnPlayInTheFrameOfAQuitStillStartsAGame) {
    Headless game;
    TitleFiles files;
    files.art("");
    files.music(10);
    start_title();
    on_read([] {
        move_pointer(600, 340);
        push_button(SDL_BUTTON_LEFT, true);
        push_quit();
    });
    title_frame();
    EXPECT_EQ(STATE, play);
    on_read([] { push_button(SDL_BUTTON_LEFT, false); });
    leave_title();
    EXPECT_EQ(STATE, play);
}

TEST(Title, AMissingArtFileEndsTheProgramWithoutAFrame) {
    Headless game;
    TitleFiles files;
    files.music(10);
    STATE = title;
    MOUSE[SDL_BUTTON_LEFT] = 1; // would hold the release wait forever if it ran
    testing::internal::CaptureStderr();
    run_scenes();
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(STATE, nullptr);
    EXPECT_EQ(EXIT_STATUS, 1);
    EXPECT_NE(errors.find("assets/title.txt"), std::string::npos) << errors;
    EXPECT_EQ(MIXER.count, 3087u) << "only the PLAY sound was queued, no music";
}
