// The play scene: one game, its fixed frame order, the pause and the two end screens.
#pragma once

#include "battlefield/army.h"
#include "battlefield/ship.h"
#include "platform/assets.h"
#include "waves/spawner.h"

#include <cstdint>
#include <optional>

// The state of the game being played; rebuilt by start_play.
struct Game {
    Ship player;
    Ship comet; // integrity below 0 while absent
    Army army;
    std::optional<Spawner> spawner; // empty when the script could not be loaded
};

extern Game GAME;

constexpr const char* MAP_FILE = "map.dat";
constexpr const char* SPAWNER_FILE = "spawner.dat";

// The scene: start_play, then play_frame while CHANGE_STATE is 0, then end_play.
void play();
// A new game on the map and the script in these files, the clock and the score reset.
void start_play(const char* map_path = asset_path(MAP_FILE).c_str(),
                const char* spawner_path = asset_path(SPAWNER_FILE).c_str());
// One frame in the game's order, then the pause and the end screens.
void play_frame();
// The updates of one play frame, in order; each draws as it goes, and nothing without a font.
void update_play(Spawner& spawner);
// Drops the army and the script and silences the mixer.
void end_play();

// Veils the frame until Escape is pressed again; the clock skips the wait. The C library
// already owns the name `pause`.
void pause_game();
// The end screens: they wait for a click, then lead to the title.
void game_over(uint32_t level);
void victory();
