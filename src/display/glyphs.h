// The font sheet's pictures by name, as assets/source/font.txt draws them; the printable ASCII
// codes are their own characters.
#pragma once

#include <array>
#include <cstdint>

// A ship's glyph faces up; + dir (0 up, 1 right, 2 down, 3 left) turns it. A beam's glyph is
// vertical; + 1 lies it down.
constexpr uint8_t GLYPH_NONE = 0;  // never drawn
constexpr uint8_t GLYPH_BLOCK = 1; // solid, drawn black under every ship
constexpr uint8_t GLYPH_WALL = 2;
constexpr uint8_t GLYPH_RAM = 4;
constexpr uint8_t GLYPH_GUNNER = 20;
constexpr uint8_t GLYPH_COMET = 24;
constexpr uint8_t GLYPH_PLAYER = 128;
constexpr uint8_t GLYPH_CANNON = 132; // drawn over the player's body
constexpr uint8_t GLYPH_HIT_FLASH = 155;
constexpr uint8_t GLYPH_PLAYER_BEAM = 156;
constexpr uint8_t GLYPH_GUNNER_BEAM = 158;
constexpr uint8_t GLYPH_SLIDER_TRACK = GLYPH_GUNNER_BEAM + 1;

// The title's caption: one picture cut into cells, in two runs of codes.
struct GlyphRun {
    uint8_t first, count;
};
constexpr std::array<GlyphRun, 2> CAPTION_RUNS = {
    {{.first = 160, .count = 13}, {.first = 180, .count = 12}}};
constexpr int32_t CAPTION_CELLS = CAPTION_RUNS[0].count + CAPTION_RUNS[1].count;

// The glyph of the caption's cell i, counted from its left end.
constexpr uint8_t caption_glyph(int32_t i) {
    for (const GlyphRun& run : CAPTION_RUNS) {
        if (i < run.count) return static_cast<uint8_t>(run.first + i);
        i -= run.count;
    }
    return GLYPH_NONE;
}
