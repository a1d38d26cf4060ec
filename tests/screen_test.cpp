// The screen read back from real frames: glyphs, strings, the veil, and the title scene.
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
#include <cstdlib>
#include <gtest/gtest.h>

namespace {
// What the device gets for the next `count` samples, and one sample as it gets it at volume 10.
std::vector<int16_t> drain(size_t count) {
    std::vector<int16_t> out(count);
    send_audio(nullptr, reinterpret_cast<uint8_t*>(out.data()), static_cast<int>(count * 2));
    return out;
}
const auto heard = [](int32_t sample) { return static_cast<int16_t>(sample / 20 * 10); };

struct TitleTest : testing::Test {
    Headless game;
    WorkDir work;
    // Music whose sample i is 1000 + i.
    void start(const std::string& art, uint32_t samples) {
        auto wav = wav_header({.rate = AUDIO_RATE, .byte_rate = 2 * AUDIO_RATE}, samples * 2);
        for (uint32_t i = 0; i < samples; i++) put_le(wav, 1000 + i, 2);
        write_file("assets/title.wav", wav);
        write_file("assets/title.txt", art);
        TITLE_DATA = {};
        VOLUME = 10;
        start_title();
    }
};
} // namespace

// A short sheet leaves glyph 255's cells stale; a header may claim gigabytes.
TEST(Text, ASheetServesEveryGlyphOrIsRefused) {
    Headless game;
    WorkDir work;
    // Wrapped at 16 or 32 glyphs a row, and every glyph in one row or in one column.
    for (int32_t width : {288, 576, 256 * CELL, CELL}) {
        write_test_font("assets/font.bmp", width);
        FONT = load_bmp_font("assets/font.bmp");
        ASSERT_TRUE(FONT) << width;
        SDL_RenderClear(RENDERER);
        for (int g = 0; g < 256; g++) print_char(g, g / 64, g % 64, g % 2 ? PINK : CYAN);
        const Frame frame = read_frame();
        for (int g = 0; g < 256; g++)
            EXPECT_TRUE(frame.at(g / 64, g % 64).glyph == g &&
                        (g == 0 || same_colour(frame.at(g / 64, g % 64), g % 2 ? PINK : CYAN)))
                << width << ": glyph " << g;
    }
    const struct {
        int32_t width, height;
        uint32_t header; // 0: a test font; else a file that ends after a header of this size
        const char* problem;
    } sheets[] = {
        {.width = 288, .height = 270, .header = 0, .problem = "too short for glyph 255"},
        {.width = 64 * CELL, .height = 3 * CELL, .header = 0, .problem = "too short for glyph 255"},
        {.width = 257 * CELL, .height = CELL, .header = 0, .problem = "too large"},
        {.width = 288, .height = 4608, .header = 0, .problem = "too large"},
        {.width = 65535, .height = 65535, .header = 12, .problem = "too large"},
        {.width = 17, .height = -4608, .header = 40, .problem = "narrower than one glyph"},
    };
    for (const auto& [width, height, header, problem] : sheets) {
        // The oldest header (12 bytes) has 16-bit sizes, later ones signed 32-bit sizes.
        std::string bmp = "BM" + std::string(12, '\0');
        put_le(bmp, header, 4);
        for (int32_t side : {width, height}) put_le(bmp, uint32_t(side), header == 12 ? 2 : 4);
        put_le(bmp, 1 | 32 << 16, 4); // 1 plane, 32 bits a pixel
        bmp.resize(14 + header, '\0');
        if (header == 0) write_test_font("assets/font.bmp", width, height);
        if (header != 0) write_file("assets/font.bmp", bmp);
        EXIT_STATUS = 0;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(load_bmp_font("assets/font.bmp")) << problem;
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "queltivar: cannot load " + work.dir + "/assets/font.bmp: font sheet " + problem +
                      " (" + std::to_string(width) + " x " + std::to_string(std::abs(height)) +
                      " pixels)\n");
        EXPECT_EQ(EXIT_STATUS, 1);
    }
}

TEST(Text, StringsAlphaAndTheVeil) {
    Headless game;
    print_msg("", 1, 1, WHITE);
    print_msg("AB\nC", 2, 3, YELLOW);
    print_msg("EDGE", 4, 62, WHITE);
    print_char(GLYPH_GUNNER_BEAM, 7, 7, Colour{.r = 0, .g = 255, .b = 0, .a = 75});
    const Frame text = read_frame();
    EXPECT_EQ(text.text(1, 0, 64), std::string(64, ' '));
    EXPECT_EQ(text.text(2, 3, 4), "AB\nC");
    EXPECT_TRUE(same_colour(text.at(2, 6), YELLOW));
    EXPECT_EQ(text.text(4, 62, 2) + text.text(5, 0, 2), "ED  ") << "nothing wraps";
    EXPECT_EQ(text.at(7, 7).glyph, GLYPH_GUNNER_BEAM);
    EXPECT_TRUE(same_colour(text.at(7, 7), Colour{.r = 0, .g = 75, .b = 0, .a = 255}));
    darken_screen();
    print_char('Y', 1, 2, WHITE);
    const Frame veiled = read_frame();
    EXPECT_NEAR(veiled.at(2, 3).r, 55, 1);
    EXPECT_TRUE(same_colour(veiled.at(1, 2), WHITE));
    darken_screen();
    EXPECT_NEAR(read_frame().at(2, 3).r, 55 * 55 / 255, 1) << "twice is darker still";
    SDL_RenderClear(RENDERER);
    EXPECT_EQ(read_frame().at(2, 3).r, 0) << "a clear after the veil is plain black";
}

TEST_F(TitleTest, ShowsFrameCaptionArtAndSlider) {
    const std::string long_line = std::string(62, 'x') + "yz" + std::string(6, 'x'); // y ends a row
    // Read as a line reader reads: a CR LF is one line feed, a lone CR a character.
    start("stars\r\n" + long_line + "\nC\rD\r\n\r\n", 10);
    title_frame();
    const Frame frame = read_frame();
    for (int row = 2; row < ROWS; row++)
        EXPECT_EQ(frame.text(row, 0, 1) + frame.text(row, 63, 1), "><") << row;
    EXPECT_TRUE(same_colour(frame.at(20, 63), DARK_GRAY));
    for (int i = 0; i <= CAPTION_CELLS; i++) EXPECT_EQ(frame.at(35, 1 + i).glyph, caption_glyph(i));
    EXPECT_EQ(frame.text(0, 1, 6), "stars\n") << "the line feed is drawn as its code";
    EXPECT_EQ(frame.text(2, 1, 8), "zxxxxxx\n") << "the rest of a long line starts a row";
    EXPECT_EQ(frame.text(3, 1, 5) + frame.text(4, 1, 2), "C\rD\n \n ") << "then nothing";
    EXPECT_EQ(frame.text(30, 29, 6) + frame.text(31, 32, 1), "VOLUME+");
    leave_title();
    write_file("assets/title.txt", "one\n");
    load_title_data("assets/title.txt");
    EXPECT_STREQ(TITLE_DATA[0].data(), "one\n");
    EXPECT_STREQ(TITLE_DATA[3].data(), "C\rD\n") << "rows past a shorter file keep their art";
}

// The PLAY test does not look at STATE, so a quit in the frame of the press is dropped.
TEST_F(TitleTest, MusicLoopsAndPlayStartsAsTheWindowCloses) {
    start("", 5000);
    title_frame();
    EXPECT_EQ(MIXER.count, 0u) << "the first frame shows before the music is read";
    title_frame();
    title_frame();
    EXPECT_EQ(MIXER.count, 5000u) << "queued once while it plays";
    EXPECT_EQ(drain(5000)[4999], heard(5999)) << "then dry: the next frame queues it again";
    EXPECT_EQ(CHANGE_STATE, 0);
    on_read([] {
        move_pointer(PLAY_COL * CELL, PLAY_ROW * CELL); // its first pixel
        push_button(MOUSE_LEFT, true);
        push_quit();
    });
    title_frame();
    EXPECT_EQ(STATE, play);
    EXPECT_EQ(CHANGE_STATE, 1);
    for (int i = 0; i < 3; i++) on_read([] {});
    on_read([] { push_button(MOUSE_LEFT, false); });
    leave_title();
    EXPECT_EQ(pending_reads(), 0u) << "the scene waited for the release";
    EXPECT_EQ(MIXER.count, 5000u) << "the faded music keeps its time";
    const Sound laser = square(70, 450);
    const std::vector<int16_t> out = drain(400);
    EXPECT_EQ(out[50], heard((1000 + 50) / 180 * 130 + laser.samples[50])) << "from 0, fading";
    EXPECT_EQ(out[300], heard(laser.samples[300])) << "silent music under the laser";
    // The shipped art leaves the cells round PLAY clear (assets_test): the word is the button.
    STATE = title;
    on_read([] {
        move_pointer((PLAY_COL + PLAY_CELLS) * CELL - 1, (PLAY_ROW + 1) * CELL - 1);
        push_button(MOUSE_LEFT, true);
    });
    title_frame();
    EXPECT_EQ(STATE, play) << "pressed on its last pixel";
}
