// The glyph font, the named colours and the drawing of glyphs, strings and the veil.
#pragma once

#include "platform/grid.h"

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

// The loaded glyph sheet. Its record, and all the display keeps with it to draw faster, is the
// display's own business: the rest of the game only holds one.
struct Font;

// Frees a Font where its record is complete, so that any file may hold a std::unique_ptr<Font>.
namespace std {
template <>
struct default_delete<Font> {
    void operator()(Font* font) const;
};
} // namespace std

// Null until start-up has loaded the sheet, and when it could not be loaded.
extern std::unique_ptr<Font> FONT;

// The one switch between the ways of drawing. PER_DRAW modulates and copies each glyph as it
// comes, the plain way, on any renderer: tests and benchmarks hold the game's way to its pixels.
// The game loads with PER_COLOUR_WHEN_FASTER, which picks the way that is faster on the renderer.
enum class Tint : uint8_t { PER_DRAW, PER_COLOUR_WHEN_FASTER };

// Null, with the failure reported, when the sheet cannot be the font. The font draws on the
// renderer up at its loading, and is freed before that renderer is.
std::unique_ptr<Font> load_bmp_font(const char* path, Tint tint = Tint::PER_COLOUR_WHEN_FASTER);

// Which way a font draws now: PLAIN for PER_DRAW, and where the faster ways cannot be had.
enum class Way : uint8_t { PLAIN, TINTED_SHEETS, BATCH };
Way drawing_way(const Font& font);

// Glyph 0 draws nothing, and nothing draws without a font. A glyph may reach the renderer only at
// the next flush_screen.
void print_char(uint8_t glyph, int32_t row, int32_t col, const Colour& colour);
// Byte i in column col + i of the row: no wrapping, and every byte, a line feed too, is a glyph.
void print_msg(const char* text, int32_t row, int32_t col, const Colour& colour);
// A frame begins with clear_screen and is shown by present_screen: between them the screen
// is black wherever nothing has been drawn, whatever the last frame showed.
void clear_screen();
void present_screen();
// Puts everything drawn since the clear on the renderer's output. Must come before the renderer is
// read back or drawn on other than through this module; present_screen does it itself.
void flush_screen();
// Veils everything drawn so far in the frame; what is drawn after it shows at full brightness.
void darken_screen();
// For a screen shown once and then waited on: presents it and keeps a copy, since the window
// system may lose what a window showed (minimised, covered) and ask for it again.
void present_and_keep();
// Shows again what the last present_and_keep kept, pixel for pixel, and nothing before the first;
// the renderer's picture is as it was kept.
void show_kept();
