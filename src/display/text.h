// The glyph font, the named colours and the drawing of glyphs, strings and the veil.
#pragma once

#include <cstdint>
#include <memory>

struct SDL_Texture;

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

constexpr int32_t CELL = 18; // pixels a side of a grid cell and of a glyph
constexpr int32_t COLUMNS = 64;
constexpr int32_t ROWS = 36;

struct TextureDeleter {
    void operator()(SDL_Texture* texture) const;
};

struct Font {
    std::unique_ptr<SDL_Texture, TextureDeleter> texture;
    int32_t width; // of the sheet, in pixels
};

// Null until start-up has loaded the sheet, and when it could not be loaded.
extern std::unique_ptr<Font> FONT;

std::unique_ptr<Font> load_bmp_font(const char* path);

void print_char(uint8_t glyph, int32_t row, int32_t col, const Colour& colour);
void print_msg(const char* text, int32_t row, int32_t col, const Colour& colour);
void darken_screen();
