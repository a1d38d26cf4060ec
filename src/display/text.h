// The glyph font, the named colours and the drawing of glyphs, strings and the veil.
#pragma once

#include "shell/grid.h"

#include <array>
#include <cstdint>
#include <memory>

struct SDL_Texture;
struct SDL_Surface;

struct Colour {
    uint8_t r, g, b, a;
};

constexpr Colour BLACK = {0, 0, 0, 255};
constexpr Colour WHITE = {255, 255, 255, 255};
constexpr Colour YELLOW = {255, 255, 0, 255};
constexpr Colour GRAY = {127, 127, 127, 255};
constexpr Colour PINK = {255, 0, 220, 255};
constexpr Colour RED = {255, 0, 0, 255};
constexpr Colour GREEN = {0, 255, 0, 255};
constexpr Colour CYAN = {0, 255, 255, 255};
constexpr Colour BLUE = {0, 50, 255, 255};
constexpr Colour DARK_GRAY = {65, 65, 65, 255};

// Every colour the game draws glyphs in: the colours a font sheet is tinted in once.
constexpr std::array<Colour, 10> PALETTE = {BLACK, WHITE, YELLOW, GRAY, PINK,
                                            RED,   GREEN, CYAN,   BLUE, DARK_GRAY};

constexpr int32_t CELL = 18; // pixels a side of a grid cell and of a glyph

struct TextureDeleter {
    void operator()(SDL_Texture* texture) const;
};

struct SurfaceDeleter {
    void operator()(SDL_Surface* surface) const;
};

using Texture = std::unique_ptr<SDL_Texture, TextureDeleter>;

// Where a glyph's pixels that show lie in its cell; w and h 0 when none does.
struct Ink {
    uint8_t x, y, w, h;
};

struct Font {
    Texture texture; // the sheet as loaded, tinted at each draw by colour modulation
    int32_t width;   // of the sheet, in pixels
    // Where modulation is the slow path (the software renderer) and tinting changes no pixel, the
    // sheet as 32-bit ARGB, kept to tint a PALETTE colour when it is first drawn; null elsewhere.
    std::unique_ptr<SDL_Surface, SurfaceDeleter> sheet;
    std::array<Texture, PALETTE.size()> tinted; // the sheet in each colour, once blended in it
    std::array<Texture, PALETTE.size()> opaque; // the same, once copied whole in it
    // Where modulation costs nothing (OpenGL and its kind), a frame's glyphs are gathered and
    // drawn together: when the frame is shown, veiled or read back.
    bool batched = false;
    std::array<Ink, 256> ink; // batched only: the rest of a cell blends to what was there
};

// Null until start-up has loaded the sheet, and when it could not be loaded.
extern std::unique_ptr<Font> FONT;

// PER_DRAW always modulates and copies each glyph as it comes, the plain way: kept so that tests
// and benchmarks can hold the fast way to the same pixels.
enum class Tint : uint8_t { PER_DRAW, PER_COLOUR_WHEN_FASTER };

std::unique_ptr<Font> load_bmp_font(const char* path, Tint tint = Tint::PER_COLOUR_WHEN_FASTER);

void print_char(uint8_t glyph, int32_t row, int32_t col, const Colour& colour);
void print_msg(const char* text, int32_t row, int32_t col, const Colour& colour);
// A frame begins with clear_screen and is shown by present_screen: between them the screen
// is black wherever nothing has been drawn, whatever the last frame showed.
void clear_screen();
void present_screen();
// Puts everything drawn since the clear on the renderer's output, for reading it back before the
// present; present_screen does it itself.
void flush_screen();
void darken_screen();
// For a screen shown once and then waited on: presents it and keeps a copy, since the window
// system may lose what a window showed (minimised, covered) and ask for it again.
void present_and_keep();
// Shows the kept copy again, pixel for pixel; the renderer's picture is as it was kept.
void show_kept();
