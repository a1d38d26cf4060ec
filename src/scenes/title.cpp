// The title scene: framed text art, the name, PLAY, the volume slider and looping music.
#include "scenes/title.h"

#include "display/glyphs.h"
#include "display/text.h"
#include "input/input.h"
#include "platform/assets.h"
#include "platform/platform.h"
#include "scenes/play.h"
#include "sound/mixer.h"
#include "sound/sound.h"

#include <SDL.h>
#include <optional>
#include <string>

std::array<std::array<char, TITLE_ROW_BYTES>, TITLE_ROWS> TITLE_DATA = {};

namespace {
constexpr SDL_Rect PLAY_BUTTON = {
    .x = PLAY_COL * CELL, .y = PLAY_ROW * CELL, .w = PLAY_CELLS * CELL, .h = CELL};

// No more of the file can reach the screen: 35 rows of 63 characters, each perhaps a CR LF.
constexpr size_t TITLE_READ_LIMIT = 2 * TITLE_ROWS * (TITLE_ROW_BYTES - 1);

// Read at the title's second frame: the first is not held back by 32 s of music. Empty before.
std::optional<Sound> MUSIC;
bool TITLE_SHOWN = false;
} // namespace

void load_title_data(const char* path) {
    const auto bytes = read_asset(path, TITLE_READ_LIMIT);
    if (!bytes) return;
    const std::string text(bytes->begin(), bytes->end());

    // Text mode as every platform should read it: a CR LF pair is one line feed.
    std::string lines;
    for (size_t i = 0; i < text.size(); i++)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lines += text[i];

    // Like a line reader into 64-byte rows: at most 63 characters, up to and including a line
    // feed; rows past the end of the file keep what they held.
    size_t at = 0;
    for (auto& row : TITLE_DATA) {
        if (at >= lines.size()) break;
        size_t length = 0;
        while (length < TITLE_ROW_BYTES - 1 && at < lines.size()) {
            row[length++] = lines[at];
            if (lines[at++] == '\n') break;
        }
        row[length] = '\0';
    }
}

void print_title_console() {
    for (int32_t row = 0; row < ROWS; row++) {
        print_char('>', row, 0, DARK_GRAY);
        print_char('<', row, COLUMNS - 1, DARK_GRAY);
    }
    for (int32_t i = 0; i < CAPTION_CELLS; i++) print_char(caption_glyph(i), 35, 1 + i, DARK_GRAY);
    for (int32_t row = 0; row < TITLE_ROWS; row++)
        print_msg(TITLE_DATA[row].data(), row, 1, DARK_GRAY);
}

void start_title() {
    load_title_data(asset_path("title.txt").c_str());
    MUSIC.reset();
    TITLE_SHOWN = false;
}

void title_frame() {
    clear_screen();
    if (TITLE_SHOWN && !MUSIC) MUSIC = load_wav(asset_path("title.wav").c_str());
    // The music starts again whenever the mixer runs dry, so it loops.
    if (MUSIC && mixer_drained()) queue_sound(*MUSIC);
    read_input();
    print_title_console();
    print_msg("QUELTIVAR NOSPERIDA KU", 5, 21, WHITE);
    print_msg(PLAY_LABEL.data(), PLAY_ROW, PLAY_COL, WHITE);
    volume_slider(30, 22);
    present_screen();
    TITLE_SHOWN = true;
    // Deliberately blind to STATE: a press on PLAY in the frame of a quit still starts a game.
    if (rect_clicked(PLAY_BUTTON)) {
        STATE = play;
        CHANGE_STATE = 1;
    }
}

void leave_title() {
    stop_sound();
    play_effect(FX_LASER);
    // The press that chose PLAY must not also start the wave script.
    while (MOUSE[MOUSE_LEFT] && STATE) read_input();
    MUSIC.reset();
}

void title() {
    start_title();
    while (!CHANGE_STATE) title_frame();
    leave_title();
}
