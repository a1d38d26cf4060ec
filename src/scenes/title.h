// The title scene: text art, the game's name, PLAY, the volume slider and the music.
#pragma once

#include <array>
#include <cstdint>

constexpr int32_t TITLE_ROWS = 35;
constexpr int32_t TITLE_ROW_BYTES = 64; // 63 characters and a terminating zero

// The art, one piece of the file per row as a line reader returns it, line feed kept.
extern std::array<std::array<char, TITLE_ROW_BYTES>, TITLE_ROWS> TITLE_DATA;

void load_title_data(const char* path);
void print_title_console();

void title();

// The scene in its three steps, which title() runs; tests drive them one by one.
void start_title();
void title_frame();
void leave_title();
