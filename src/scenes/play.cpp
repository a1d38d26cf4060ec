// The play scene. Its frame order is the game's rules: later steps see what earlier ones wrote.
#include "scenes/play.h"

#include "battlefield/comet.h"
#include "battlefield/laser.h"
#include "battlefield/map.h"
#include "battlefield/player.h"
#include "display/text.h"
#include "input/input.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "scenes/console.h"
#include "scenes/title.h"
#include "sound/mixer.h"
#include "waves/spawn_field.h"

#include <array>
#include <cstdio>
#include <cstring>

// Filled by start_play: nothing may depend on another file's statics before main.
Game GAME = {};

namespace {
constexpr int32_t HEADING_ROW = 15, LINE_ROW = 17, CONTINUE_ROW = 19, CONTINUE_COL = 19;

bool escape_down() {
    return KEYS[KEY_PAUSE] != 0;
}

// The screens that wait are drawn once: shown and kept, then shown again only when the window
// system has lost them.
void show_and_keep() {
    present_and_keep();
    WINDOW_EXPOSED = 0;
}

void wait_input() {
    read_input();
    if (!WINDOW_EXPOSED) return;
    WINDOW_EXPOSED = 0;
    show_kept();
}

// Both end screens: a veil over the last frame, three lines, then a click back to the title.
void end_screen(const char* heading, int32_t heading_col, const char* line) {
    darken_screen();
    print_msg(heading, HEADING_ROW, heading_col, WHITE);
    print_msg(line, LINE_ROW, (COLUMNS - static_cast<int32_t>(std::strlen(line))) / 2, WHITE);
    print_msg("Click anywhere to continue", CONTINUE_ROW, CONTINUE_COL, WHITE);
    show_and_keep();
    while (STATE && !MOUSE[MOUSE_LEFT]) wait_input();
    while (STATE && MOUSE[MOUSE_LEFT]) wait_input();
    // A quit asked for during the wait stands.
    if (!STATE) return;
    STATE = title;
    CHANGE_STATE = 1;
}
} // namespace

void start_play(const char* map_path, const char* spawner_path) {
    GAME.player = SHIPS[PLAYER];
    GAME.comet = SHIPS[COMET];
    free_army(GAME.army);
    SCORE = 0;
    load_map(map_path);
    set_clock();
    reset_spawn_fields();
    GAME.spawner = load_spawner(spawner_path);
}

void update_play(Spawner& spawner) {
    update_spawner(spawner, GAME.player, GAME.army, GAME.comet);
    update_player(GAME.player);
    update_enemy(GAME.army);
    update_comet(GAME.comet, GAME.player);
    laser(GAME.player);
    laser(GAME.army);
    for (uint8_t field = 0; field < FIELD_COUNT; field++)
        update_spawn_field(field, spawner, GAME.army, GAME.comet);
}

void play_frame() {
    if (!GAME.spawner) return; // a failed start runs no frame
    Spawner& spawner = *GAME.spawner;
    clear_screen();
    update_clock();
    read_input();
    print_console(spawner, GAME.player, GAME.comet, GAME.army);
    print_map();
    update_play(spawner);
    present_screen();

    // The end checks follow a pause; a frame that shows the defeat declares no victory.
    if (escape_down()) pause_game();
    const bool lost = GAME.player.integrity < 1;
    if (lost) game_over(spawner.level);
    // The ships of the last command must have been released, and destroyed, too.
    if (!lost && spawner.next >= spawner.count && spawner.pending == 0 && GAME.army.empty() &&
        GAME.comet.integrity < 0)
        victory();
}

void end_play() {
    free_army(GAME.army);
    GAME.spawner.reset();
    empty_mixer();
}

void play() {
    start_play();
    while (!CHANGE_STATE) play_frame();
    end_play();
}

void pause_game() {
    darken_screen();
    // Column 18, one left of the centred 19.
    print_msg("Press ESC again to unpause", 17, 18, WHITE);
    show_and_keep();
    // Begins on a press; ends on the release of the next press.
    while (STATE && escape_down()) wait_input();
    while (STATE && !escape_down()) wait_input();
    while (STATE && escape_down()) wait_input();
    set_clock();
}

void game_over(uint32_t level) {
    std::array<char, 64> line;
    std::snprintf(line.data(), line.size(), "Level: %u   Score: %u", level, SCORE);
    end_screen("TE MORISTE", 27, line.data());
}

void victory() {
    std::array<char, 64> line;
    std::snprintf(line.data(), line.size(), "Score: %u", SCORE);
    end_screen("TRIUNFO", 28, line.data());
}
