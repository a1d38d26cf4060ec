// The title scene, frame by frame, on a test font with art and music written by each test.
#include "harness.h"

#include "display/glyphs.h"
#include "input/input.h"
#include "scenes/play.h"
#include "scenes/title.h"
#include "shell/shell.h"
#include "sound/mixer.h"
#include "sound/sound.h"
#include "tool.h"

#include <SDL.h>
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace {
// A 44100 Hz mono 16-bit WAV whose sample i is 1000 + i.
std::string music(uint32_t count) {
    std::string wav = wav_header({.rate = AUDIO_RATE, .byte_rate = 2 * AUDIO_RATE}, count * 2);
    for (uint32_t i = 0; i < count; i++) put_le(wav, 1000 + i, 2);
    return wav;
}

std::vector<int16_t> drain(size_t samples) {
    std::vector<int16_t> out(samples);
    send_audio(nullptr, reinterpret_cast<uint8_t*>(out.data()), static_cast<int>(samples * 2));
    return out;
}

void press_play() {
    move_pointer(545, 330);
    push_button(MOUSE_LEFT, true);
}

struct TitleTest : testing::Test {
    Headless game;
    WorkDir work;
    void start(const std::string& art, uint32_t samples) {
        write_file("assets/title.txt", art);
        write_file("assets/title.wav", music(samples));
        TITLE_DATA = {};
        VOLUME = 10;
        start_title();
    }
};
} // namespace

TEST_F(TitleTest, TheScreenShowsFrameCaptionArtNamePlayAndSlider) {
    std::string long_line(70, 'x');
    long_line[62] = 'y', long_line[63] = 'z';
    start("stars\n" + long_line + "\nafter\n", 10);
    title_frame();
    Frame frame = read_frame();
    for (int row = 2; row < 36; row++)
        EXPECT_EQ(frame.text(row, 0, 1) + frame.text(row, 63, 1), "><") << row;
    EXPECT_TRUE(same_colour(frame.at(20, 63), DARK_GRAY));
    for (int i = 0; i < CAPTION_CELLS; i++) EXPECT_EQ(frame.at(35, 1 + i).glyph, caption_glyph(i));
    EXPECT_EQ(frame.at(35, 1 + CAPTION_CELLS).glyph, GLYPH_NONE);
    EXPECT_EQ(frame.text(0, 1, 5), "stars");
    EXPECT_EQ(frame.at(0, 6).glyph, '\n') << "the kept line feed is drawn as its code";
    EXPECT_EQ(TITLE_DATA[1].data(), long_line.substr(0, 63)) << "a long line fills one row";
    EXPECT_EQ(frame.text(2, 1, 7), "zxxxxxx") << "and its last 7 start the next";
    EXPECT_EQ(frame.text(3, 1, 6) + frame.text(4, 1, 1), "after\n ") << "then nothing";
    EXPECT_EQ(frame.text(5, 21, 22), "QUELTIVAR NOSPERIDA KU");
    EXPECT_EQ(frame.text(PLAY_ROW, PLAY_COL, PLAY_CELLS), PLAY_LABEL);
    EXPECT_TRUE(same_colour(frame.at(PLAY_ROW, PLAY_COL + PLAY_CELLS - 1), WHITE));
    EXPECT_EQ(frame.text(30, 29, 6), "VOLUME");
    EXPECT_EQ(frame.at(31, 32).glyph, '+');
    leave_title();
}

TEST_F(TitleTest, CarriageReturnLineFeedIsOneLineFeedAndLaterRowsKeepTheirArt) {
    start("AB\r\nC\rD\r\n\r\nlast", 10);
    EXPECT_STREQ(TITLE_DATA[0].data(), "AB\n");
    EXPECT_STREQ(TITLE_DATA[1].data(), "C\rD\n") << "a lone carriage return is a character";
    EXPECT_STREQ(TITLE_DATA[2].data(), "\n");
    EXPECT_STREQ(TITLE_DATA[3].data(), "last");
    write_file("assets/title.txt", "one\n");
    load_title_data("assets/title.txt");
    EXPECT_STREQ(TITLE_DATA[0].data(), "one\n");
    EXPECT_STREQ(TITLE_DATA[1].data(), "C\rD\n");
}

TEST_F(TitleTest, TheMusicStartsAgainWheneverTheMixerRunsDry) {
    start("", 300);
    title_frame();
    EXPECT_EQ(MIXER.count, 0u) << "the first frame shows before the music is read";
    title_frame();
    title_frame();
    EXPECT_EQ(MIXER.count, 300u) << "queued once while it plays";
    EXPECT_EQ(drain(300)[299], 1299 / 20 * 10);
    title_frame();
    EXPECT_EQ(drain(1)[0], 1000 / 20 * 10) << "and again from its beginning";
    leave_title();
}

// A quit in the frame of the press is dropped: the title's PLAY test does not look at STATE.
TEST_F(TitleTest, PressingPlayEvenAsTheWindowClosesStartsAGameAfterTheFadeAndTheRelease) {
    start("", 5000);
    title_frame();
    EXPECT_EQ(CHANGE_STATE, 0);
    on_read([] { press_play(), push_quit(); });
    title_frame();
    EXPECT_EQ(STATE, play);
    EXPECT_EQ(CHANGE_STATE, 1);
    for (int i = 0; i < 3; i++) on_read([] {});
    on_read([] { push_button(MOUSE_LEFT, false); });
    leave_title();
    EXPECT_EQ(pending_reads(), 0u) << "the scene waited for the release";
    EXPECT_EQ(MIXER.count, 5000u) << "the faded music keeps its time";
    Sound laser = square(70, 450);
    std::vector<int16_t> out = drain(400);
    EXPECT_EQ(out[50], ((1000 + 50) / 180 * 130 + laser.samples[50]) / 20 * 10);
    EXPECT_EQ(out[300], laser.samples[300] / 20 * 10) << "silent music under the laser";
}

TEST_F(TitleTest, AMissingArtFileEndsTheProgramWithoutAFrame) {
    write_file("assets/title.wav", music(10));
    STATE = title;
    MOUSE[MOUSE_LEFT] = 1; // the release wait would hang if it ran
    testing::internal::CaptureStderr();
    run_scenes();
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(EXIT_STATUS, 1);
    EXPECT_NE(errors.find("assets/title.txt"), std::string::npos) << errors;
    EXPECT_EQ(MIXER.count, 3087u) << "no music, only the PLAY sound";
}

// Whatever the shipped art draws as part of the button (the word and any drawing that touches
// it, cell to cell) is inside the PLAY rectangle: a click on any corner of any of its cells plays.
TEST_F(TitleTest, EveryCellTheArtDrawsAsThePlayButtonStartsAGame) {
    std::ifstream in(QUELTIVAR_SOURCE_DIR "/assets/title.txt", std::ios::binary);
    start(std::string(std::istreambuf_iterator<char>(in), {}), 10);
    title_frame();
    const Frame shown = read_frame();
    auto drawn = [&](int32_t row, int32_t col) {
        return row >= 0 && row < ROWS && col >= 0 && col < COLUMNS &&
               shown.at(row, col).glyph > ' ';
    };
    std::vector<std::pair<int32_t, int32_t>> button;
    for (int32_t col = PLAY_COL; col < PLAY_COL + PLAY_CELLS; col++)
        button.emplace_back(PLAY_ROW, col);
    for (size_t i = 0; i < button.size(); i++)
        for (int32_t dy = -1; dy <= 1; dy++)
            for (int32_t dx = -1; dx <= 1; dx++) {
                const std::pair cell = {button[i].first + dy, button[i].second + dx};
                if (drawn(cell.first, cell.second) && std::ranges::count(button, cell) == 0)
                    button.push_back(cell);
            }
    EXPECT_EQ(shown.text(PLAY_ROW, PLAY_COL, PLAY_CELLS), PLAY_LABEL);
    for (const auto& [row, col] : button)
        for (const auto& [x, y] :
             {std::pair{0, 0}, {CELL - 1, 0}, {0, CELL - 1}, {CELL - 1, CELL - 1}}) {
            SCOPED_TRACE(testing::Message() << "row " << row << ", col " << col);
            STATE = title;
            CHANGE_STATE = 0;
            on_read([=] {
                move_pointer(col * CELL + x, row * CELL + y);
                push_button(MOUSE_LEFT, true);
            });
            title_frame();
            EXPECT_EQ(STATE, play);
            on_read([] { push_button(MOUSE_LEFT, false); });
            title_frame();
        }
    STATE = title;
    leave_title();
}
