// Headless test harness: real frames read back cell by cell, scripted input, a driven clock.
#pragma once

#include "display/text.h"
#include "headless.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

// What one grid cell shows: the topmost glyph and its colour as it reached the screen.
struct Cell {
    int glyph; // 0 when nothing is drawn, -1 when the pixels are no single glyph
    uint8_t r, g, b;
};

struct Frame {
    std::array<Cell, ROWS * COLUMNS> cells;
    const Cell& at(int32_t row, int32_t col) const {
        return cells[row * COLUMNS + col];
    }
    // The glyphs of a run of cells as characters, '?' for unreadable, ' ' for nothing.
    std::string text(int32_t row, int32_t col, int32_t length) const;
};

bool same_colour(const Cell& cell, const Colour& colour);

// Brings up the game's real start-up under SDL's dummy drivers with a test font whose
// every glyph carries its own code as a pattern, and takes it all down again.
struct Headless {
    Headless();
    ~Headless();
    Headless(const Headless&) = delete;
    Headless& operator=(const Headless&) = delete;
};

// Writes the test font sheet, `width` pixels wide, to a BMP file; as tall as glyph 255 needs
// unless `height` says otherwise.
void write_test_font(const std::string& path, int32_t width = 288, int32_t height = 0);

// Reads back what the renderer holds now.
Frame read_frame();

void move_pointer(int32_t x, int32_t y); // a motion event, and the pointer moves there

// Runs `action` at the start of a later read_input call, one action per call, in order:
// how a test plays a player inside the game's own wait loops.
void on_read(std::function<void()> action);
size_t pending_reads();

// A fresh directory under the system's temporary directory.
std::string temp_dir();

// A fresh working directory with an empty assets/, left and removed at the end.
struct WorkDir {
    std::string saved, dir;
    WorkDir();
    ~WorkDir();
    WorkDir(const WorkDir&) = delete;
    WorkDir& operator=(const WorkDir&) = delete;
};

void write_file(const std::string& path, const std::string& bytes);
