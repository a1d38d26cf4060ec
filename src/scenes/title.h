// The title scene: text art, the game's name, PLAY, the volume slider and the music.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

constexpr int32_t TITLE_ROWS = 35;
constexpr int32_t TITLE_ROW_BYTES = 64; // 63 characters and a terminating zero

// A click on the button's word, in cells, plays.
constexpr std::string_view PLAY_LABEL = "PLAY";
constexpr int32_t PLAY_ROW = 18, PLAY_COL = 30;
constexpr auto PLAY_CELLS = static_cast<int32_t>(PLAY_LABEL.size());

// The art, one piece of the file per row as a line reader returns it, line feed kept.
extern std::array<std::array<char, TITLE_ROW_BYTES>, TITLE_ROWS> TITLE_DATA;

// Reads the art into TITLE_DATA, a CR LF as one line feed; a missing file ends the game.
void load_title_data(const char* path);
// The title's frame in dark grey: the border marks, the caption and the art.
void print_title_console();

void title();

// The scene in its three steps, which title() runs; tests drive them one by one.
void start_title();
void title_frame();
void leave_title();
