// Glyphs from one font sheet, tinted per draw, placed on the 64 x 36 grid.
#include "display/text.h"

#include "display/glyphs.h"
#include "platform/assets.h"
#include "platform/platform.h"

#include <SDL.h>
#include <array>
#include <bitset>
#include <optional>
#include <string>
#include <vector>

namespace {
struct TextureDeleter {
    void operator()(SDL_Texture* texture) const {
        SDL_DestroyTexture(texture);
    }
};

struct SurfaceDeleter {
    void operator()(SDL_Surface* surface) const {
        SDL_FreeSurface(surface);
    }
};

using Texture = std::unique_ptr<SDL_Texture, TextureDeleter>;

// Where a glyph's pixels that show lie in its cell; w and h 0 when none does.
struct Ink {
    uint8_t x, y, w, h;
};
} // namespace

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

std::unique_ptr<Font> FONT;

namespace {
constexpr uint32_t packed(const Colour& colour) {
    return uint32_t{colour.r} | uint32_t{colour.g} << 8 | uint32_t{colour.b} << 16 |
           uint32_t{colour.a} << 24;
}

constexpr std::array<uint32_t, PALETTE.size()> PALETTE_KEYS = [] {
    std::array<uint32_t, PALETTE.size()> keys{};
    for (size_t i = 0; i < PALETTE.size(); i++) keys[i] = packed(PALETTE[i]);
    return keys;
}();

// Modulation takes SDL's software blitter off its fast path, at several times the cost of a
// plain copy; other renderers modulate for nothing and would only switch textures more often.
bool modulation_is_slow() {
    SDL_RendererInfo info;
    return SDL_GetRendererInfo(RENDERER, &info) == 0 && (info.flags & SDL_RENDERER_SOFTWARE);
}

// A pre-tinted pixel blended plainly matches the sheet's pixel modulated and blended only where
// blending is exact: alpha 0 (left as it was) or 255 (replaced). Font sheets are drawn so.
bool alpha_is_two_level(const SDL_Surface* sheet) {
    for (int32_t y = 0; y < sheet->h; y++) {
        const auto* row = reinterpret_cast<const uint32_t*>(
            static_cast<const uint8_t*>(sheet->pixels) + y * sheet->pitch);
        for (int32_t x = 0; x < sheet->w; x++) {
            const uint32_t alpha = row[x] >> 24;
            if (alpha != 0 && alpha != 255) return false;
        }
    }
    return true;
}

// The sheet in a PALETTE colour, each channel as modulation computes it: value * tint / 255,
// rounded down; transparent pixels black, as blending never shows them. Made twice, each when
// first wanted: to blend, and to copy whole over a cell the clear left black, where the black
// surround leaves the cell as blending would. Null, and the font drawn the plain way from then
// on, when SDL cannot make it.
SDL_Texture* tinted_sheet(Font& font, size_t index, bool opaque) {
    Texture& texture = opaque ? font.opaque[index] : font.tinted[index];
    if (texture || !font.sheet) return texture.get();
    const SDL_Surface* sheet = font.sheet.get();
    const Colour& colour = PALETTE[index];
    const std::array<uint32_t, 4> tint = {colour.b, colour.g, colour.r, colour.a};
    // Each channel's every value, tinted and in place, so a pixel is four lookups.
    std::array<std::array<uint32_t, 256>, 4> tinted{};
    for (uint32_t channel = 0; channel < 4; channel++)
        for (uint32_t value = 0; value < 256; value++)
            tinted[channel][value] = value * tint[channel] / 255 << (8 * channel);
    static std::vector<uint32_t> pixels; // kept: every sheet is the font's size
    pixels.resize(static_cast<size_t>(sheet->w) * static_cast<size_t>(sheet->h));
    for (int32_t y = 0; y < sheet->h; y++) {
        const auto* from = reinterpret_cast<const uint32_t*>(
            static_cast<const uint8_t*>(sheet->pixels) + y * sheet->pitch);
        uint32_t* row = pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(sheet->w);
        for (int32_t x = 0; x < sheet->w; x++) {
            const uint32_t pixel = from[x];
            row[x] = pixel >> 24 == 0 ? 0
                                      : tinted[0][pixel & 0xff] | tinted[1][pixel >> 8 & 0xff] |
                                            tinted[2][pixel >> 16 & 0xff] | tinted[3][pixel >> 24];
        }
    }
    texture.reset(SDL_CreateTexture(RENDERER, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                    sheet->w, sheet->h));
    if (!texture || SDL_UpdateTexture(texture.get(), nullptr, pixels.data(), sheet->w * 4) != 0 ||
        SDL_SetTextureBlendMode(texture.get(), opaque ? SDL_BLENDMODE_NONE : SDL_BLENDMODE_BLEND) !=
            0) {
        texture.reset();
        font.sheet.reset();
    }
    return texture.get();
}

// Tinting waits for a colour's first glyph: the title, drawn first, needs two of the ten.
void keep_sheet_for_tinting(Font& font, SDL_Surface* image) {
    font.sheet.reset(SDL_ConvertSurfaceFormat(image, SDL_PIXELFORMAT_ARGB8888, 0));
    if (font.sheet && !alpha_is_two_level(font.sheet.get())) font.sheet.reset();
}

int32_t palette_index(const Colour& colour) {
    const uint32_t key = packed(colour);
    for (size_t i = 0; i < PALETTE_KEYS.size(); i++)
        if (PALETTE_KEYS[i] == key) return static_cast<int32_t>(i);
    return -1;
}

// Each glyph's box of pixels with any alpha, within the sheet: a copy takes nothing past its edge.
bool measure_ink(Font& font, SDL_Surface* image) {
    SDL_Surface* sheet = SDL_ConvertSurfaceFormat(image, SDL_PIXELFORMAT_ARGB8888, 0);
    if (!sheet) return false;
    for (int32_t glyph = 0; glyph < 256; glyph++) {
        const int32_t x0 = glyph * CELL % sheet->w, y0 = glyph * CELL / sheet->w * CELL;
        int32_t left = CELL, top = CELL, right = -1, bottom = -1;
        for (int32_t y = 0; y < CELL && y0 + y < sheet->h; y++) {
            const auto* pixels = reinterpret_cast<const uint32_t*>(
                static_cast<const uint8_t*>(sheet->pixels) + (y0 + y) * sheet->pitch);
            for (int32_t x = 0; x < CELL && x0 + x < sheet->w; x++) {
                if (pixels[x0 + x] >> 24 == 0) continue;
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
        font.ink[glyph] = right < 0 ? Ink{0, 0, 0, 0}
                                    : Ink{static_cast<uint8_t>(left), static_cast<uint8_t>(top),
                                          static_cast<uint8_t>(right - left + 1),
                                          static_cast<uint8_t>(bottom - top + 1)};
    }
    SDL_FreeSurface(sheet);
    return true;
}

// A frame's glyphs as quads in one vertex array, each coloured in its corners as a modulated copy
// would be, handed to SDL in one call. SDL would merge the copies into one draw anyway; the time
// saved on a renderer that rasterises on the CPU (Mesa's llvmpipe) is in each quad being only
// its glyph's inked box.
struct Batch {
    const SDL_Texture* sheet = nullptr; // the quads' font sheet
    float sheet_width = 0, sheet_height = 0;
    std::vector<SDL_Vertex> vertices;
    std::vector<int> indices;
};

// The frame on the renderer as the display keeps account of it. clear_screen starts a frame;
// flush_screen, before the present, the veil or a read-back, puts all of it on the renderer.
//
// Where the renderer keeps its picture from one frame to the next (the software renderer,
// unscaled) and the font is tinted, a clear only notes which cells were drawn (`stale`): a cell
// drawn again is overwritten by its first glyph copied whole, and the others are blacked just
// before the frame is shown. Most cells of a frame hold what they held in the last.
struct Screen {
    // The font the last clear kept account for, null when the next clear must clear all. A font's
    // textures are its renderer's: the same font, still loaded, means the same picture.
    const Font* tracked = nullptr;
    std::bitset<ROWS * COLUMNS> drawn; // since the last clear
    std::bitset<ROWS * COLUMNS> stale; // drawn before it, not since, and not yet blacked
    Batch batch;                       // glyphs gathered since the last flush
};

Screen SCREEN;

bool can_track() {
    if (!FONT || !FONT->sheet || !modulation_is_slow()) return false;
    int32_t width = 0, height = 0;
    SDL_GetRendererOutputSize(RENDERER, &width, &height);
    // An alpha channel on the window would keep the transparent surround's alpha.
    return width == COLUMNS * CELL && height == ROWS * CELL &&
           !SDL_ISPIXELFORMAT_ALPHA(SDL_GetWindowPixelFormat(WINDOW));
}

// Nothing of a font outlives it on the screen: neither its quads nor the account kept for it.
void forget_font(const Font& font) {
    if (SCREEN.tracked == &font) SCREEN.tracked = nullptr;
    if (SCREEN.batch.sheet == font.texture.get()) SCREEN.batch = {};
}

// What a cell held when a glyph comes to it. ANYTHING where no account is kept (off the grid, or
// in a frame cleared whole), and there blending is right.
enum class Held : uint8_t { ANYTHING, BLACK, LAST_FRAME, THIS_FRAME };

// Notes the cell drawn this frame and tells what it held before.
Held mark_drawn(int32_t row, int32_t col) {
    if (!SCREEN.tracked || row < 0 || row >= ROWS || col < 0 || col >= COLUMNS)
        return Held::ANYTHING;
    const int32_t cell = row * COLUMNS + col;
    const Held held = SCREEN.drawn[cell]   ? Held::THIS_FRAME
                      : SCREEN.stale[cell] ? Held::LAST_FRAME
                                           : Held::BLACK;
    SCREEN.drawn[cell] = true;
    SCREEN.stale[cell] = false;
    return held;
}

void black_out(const SDL_Rect* rects, int32_t count) {
    SDL_SetRenderDrawColor(RENDERER, 0, 0, 0, 255);
    SDL_SetRenderDrawBlendMode(RENDERER, SDL_BLENDMODE_NONE);
    SDL_RenderFillRects(RENDERER, rects, count);
}

// Black over the stale cells, a rectangle for each run of them in a row.
void black_out_stale() {
    std::array<SDL_Rect, ROWS * COLUMNS / 2> runs;
    int32_t count = 0;
    for (int32_t row = 0; row < ROWS && SCREEN.stale.any(); row++) {
        for (int32_t col = 0; col < COLUMNS; col++) {
            if (!SCREEN.stale[row * COLUMNS + col]) continue;
            int32_t end = col;
            while (end < COLUMNS && SCREEN.stale[row * COLUMNS + end]) end++;
            runs[count++] = {col * CELL, row * CELL, (end - col) * CELL, CELL};
            col = end;
        }
    }
    if (count > 0) black_out(runs.data(), count);
    SCREEN.stale.reset();
}

void draw_batch() {
    Batch& batch = SCREEN.batch;
    if (batch.indices.empty()) return;
    SDL_RenderGeometry(RENDERER, const_cast<SDL_Texture*>(batch.sheet), batch.vertices.data(),
                       static_cast<int>(batch.vertices.size()), batch.indices.data(),
                       static_cast<int>(batch.indices.size()));
    batch.vertices.clear();
    batch.indices.clear();
}

// Only the box around the glyph's showing pixels, as the pixels around it are fully transparent.
void batch_glyph(uint8_t glyph, int32_t row, int32_t col, const Colour& colour) {
    const Ink ink = FONT->ink[glyph];
    if (ink.w == 0) return;
    Batch& batch = SCREEN.batch;
    SDL_Texture* sheet = FONT->texture.get();
    if (sheet != batch.sheet) {
        draw_batch();
        int32_t width = 0, height = 0;
        SDL_QueryTexture(sheet, nullptr, nullptr, &width, &height);
        batch = {sheet, static_cast<float>(width), static_cast<float>(height), {}, {}};
    }
    const int32_t offset = glyph * CELL;
    const int32_t sx = offset % FONT->width + ink.x, sy = offset / FONT->width * CELL + ink.y;
    const int32_t tx = col * CELL + ink.x, ty = row * CELL + ink.y;
    const SDL_Color corner = {colour.r, colour.g, colour.b, colour.a};
    const float u0 = static_cast<float>(sx) / batch.sheet_width,
                u1 = static_cast<float>(sx + ink.w) / batch.sheet_width,
                v0 = static_cast<float>(sy) / batch.sheet_height,
                v1 = static_cast<float>(sy + ink.h) / batch.sheet_height;
    const auto x0 = static_cast<float>(tx), x1 = static_cast<float>(tx + ink.w),
               y0 = static_cast<float>(ty), y1 = static_cast<float>(ty + ink.h);
    const auto first = static_cast<int>(batch.vertices.size());
    batch.vertices.push_back({{x0, y0}, corner, {u0, v0}});
    batch.vertices.push_back({{x1, y0}, corner, {u1, v0}});
    batch.vertices.push_back({{x1, y1}, corner, {u1, v1}});
    batch.vertices.push_back({{x0, y1}, corner, {u0, v1}});
    for (int i : {0, 1, 2, 0, 2, 3}) batch.indices.push_back(first + i);
}
} // namespace

void clear_screen() {
    draw_batch(); // drawn, if only to be cleared, as a copy would have been
    const bool picture_known = SCREEN.tracked != nullptr && SCREEN.tracked == FONT.get();
    SCREEN.tracked = can_track() ? FONT.get() : nullptr;
    if (SCREEN.tracked && picture_known) {
        SCREEN.stale |= SCREEN.drawn;
    } else {
        SDL_RenderClear(RENDERER);
        SCREEN.stale.reset();
    }
    SCREEN.drawn.reset();
}

void flush_screen() {
    draw_batch();
    black_out_stale();
}

void present_screen() {
    flush_screen();
    SDL_RenderPresent(RENDERER);
}

void darken_screen() {
    flush_screen();
    // Nothing under the veil is black any more.
    SCREEN.drawn.set();
    SDL_SetRenderDrawColor(RENDERER, 0, 0, 0, 200);
    SDL_SetRenderDrawBlendMode(RENDERER, SDL_BLENDMODE_BLEND);
    SDL_RenderFillRect(RENDERER, nullptr);
}

void std::default_delete<Font>::operator()(Font* font) const {
    forget_font(*font);
    delete font;
}

namespace {
// Pixels a side and in all of the largest sheet taken: all 256 glyphs in one row (or column),
// and four times the pixels they need. A header may claim gigabytes in a 1 KB file.
constexpr int64_t GLYPH_COUNT = 256;
constexpr int64_t MAX_SHEET_SIDE = GLYPH_COUNT * CELL;
constexpr int64_t MAX_SHEET_PIXELS = 4 * GLYPH_COUNT * CELL * CELL;

struct SheetSize {
    int64_t width, height; // pixels; height without the sign of the row order
};

uint32_t little_endian(const std::array<uint8_t, 26>& bytes, size_t at, size_t count) {
    uint32_t value = 0;
    for (size_t i = 0; i < count; i++) value |= uint32_t{bytes[at + i]} << (8 * i);
    return value;
}

// The size a BMP file's header gives, read the way SDL's loader reads it: 16-bit fields in the
// oldest header (12 bytes), signed 32-bit ones in every later one, negative heights top-down.
std::optional<SheetSize> header_size(std::FILE* file) {
    std::array<uint8_t, 26> header{};
    const size_t got = std::fread(header.data(), 1, header.size(), file);
    if (got < 22 || header[0] != 'B' || header[1] != 'M') return std::nullopt;
    if (little_endian(header, 14, 4) == 12)
        return SheetSize{little_endian(header, 18, 2), little_endian(header, 20, 2)};
    if (got < header.size()) return std::nullopt;
    const auto width = static_cast<int32_t>(little_endian(header, 18, 4));
    const auto height = static_cast<int32_t>(little_endian(header, 22, 4));
    return SheetSize{width, height < 0 ? -int64_t{height} : height};
}

// Why a sheet of this size cannot be the font; empty when it can. A sheet too short for glyph
// 255 would draw nothing in that glyph's cells, and a cell a clear leaves alone keeps its past.
std::string size_refusal(SheetSize size) {
    const std::string pixels = std::to_string(size.width) + " x " + std::to_string(size.height);
    if (size.width < CELL) return "font sheet narrower than one glyph (" + pixels + " pixels)";
    if (size.width > MAX_SHEET_SIDE || size.height > MAX_SHEET_SIDE ||
        size.width * size.height > MAX_SHEET_PIXELS)
        return "font sheet too large (" + pixels + " pixels)";
    const int64_t last_row = (GLYPH_COUNT - 1) * CELL / size.width * CELL;
    if (size.height < last_row + CELL)
        return "font sheet too short for glyph 255 (" + pixels + " pixels)";
    return {};
}
} // namespace

std::unique_ptr<Font> load_bmp_font(const char* path, Tint tint) {
    AssetFile sheet = open_asset(path);
    if (!sheet.file) {
        asset_failure(path, sheet.reason);
        return nullptr;
    }
    // SDL allocates whatever size a header claims, so the claim is judged first.
    const std::optional<SheetSize> claimed = header_size(sheet.file.get());
    std::string refusal = claimed ? size_refusal(*claimed) : "not a BMP image";
    if (!refusal.empty() || std::fseek(sheet.file.get(), 0, SEEK_SET) != 0) {
        asset_failure(path, refusal.empty() ? "cannot read it again" : refusal.c_str());
        return nullptr;
    }
    SDL_Surface* image = SDL_LoadBMP_RW(SDL_RWFromFP(sheet.file.get(), SDL_FALSE), 1);
    if (!image) {
        asset_failure(path, SDL_GetError());
        return nullptr;
    }
    refusal = size_refusal({image->w, image->h}); // as SDL read it, should it read otherwise
    if (!refusal.empty()) {
        SDL_FreeSurface(image);
        asset_failure(path, refusal.c_str());
        return nullptr;
    }
    auto font = std::make_unique<Font>();
    font->width = image->w;
    font->texture.reset(SDL_CreateTextureFromSurface(RENDERER, image));
    if (tint == Tint::PER_COLOUR_WHEN_FASTER && modulation_is_slow())
        keep_sheet_for_tinting(*font, image);
    font->batched =
        tint == Tint::PER_COLOUR_WHEN_FASTER && !modulation_is_slow() && measure_ink(*font, image);
    SDL_FreeSurface(image);
    return font;
}

Way drawing_way(const Font& font) {
    if (font.batched) return Way::BATCH;
    return font.sheet ? Way::TINTED_SHEETS : Way::PLAIN;
}

void print_char(uint8_t glyph, int32_t row, int32_t col, const Colour& colour) {
    if (glyph == GLYPH_NONE || !FONT) return; // no font: a simulation that draws nothing
    if (FONT->batched) return batch_glyph(glyph, row, col, colour);
    const Held held = mark_drawn(row, col);
    const int32_t index = palette_index(colour);
    SDL_Texture* texture = nullptr;
    // Copied whole over what the clear would have left black, else blended, else modulated.
    if (index >= 0 && (held == Held::BLACK || held == Held::LAST_FRAME))
        texture = tinted_sheet(*FONT, index, true);
    // A glyph that blends needs the black it would have had.
    if (!texture && held == Held::LAST_FRAME) {
        const SDL_Rect rect = {col * CELL, row * CELL, CELL, CELL};
        black_out(&rect, 1);
    }
    if (!texture && index >= 0) texture = tinted_sheet(*FONT, index, false);
    if (!texture) {
        texture = FONT->texture.get();
        SDL_SetTextureColorMod(texture, colour.r, colour.g, colour.b);
        SDL_SetTextureAlphaMod(texture, colour.a);
    }
    int32_t offset = glyph * CELL;
    SDL_Rect source = {offset % FONT->width, offset / FONT->width * CELL, CELL, CELL};
    SDL_Rect target = {col * CELL, row * CELL, CELL, CELL};
    SDL_RenderCopy(RENDERER, texture, &source, &target);
}

void print_msg(const char* text, int32_t row, int32_t col, const Colour& colour) {
    for (int32_t i = 0; text[i] != '\0'; i++)
        print_char(static_cast<uint8_t>(text[i]), row, col + i, colour);
}

namespace {
// The last frame present_and_keep showed, in the renderer's output pixels.
struct Kept {
    std::vector<uint32_t> pixels;
    int32_t width = 0, height = 0;
};

Kept KEPT;
} // namespace

void present_and_keep() {
    flush_screen();
    // Read before presenting: after it, some renderers leave their buffer undefined.
    SDL_Rect viewport;
    float scale_x = 1, scale_y = 1;
    SDL_RenderGetViewport(RENDERER, &viewport);
    SDL_RenderGetScale(RENDERER, &scale_x, &scale_y);
    KEPT.width = static_cast<int32_t>(static_cast<float>(viewport.w) * scale_x);
    KEPT.height = static_cast<int32_t>(static_cast<float>(viewport.h) * scale_y);
    KEPT.pixels.resize(static_cast<size_t>(KEPT.width) * static_cast<size_t>(KEPT.height));
    if (KEPT.pixels.empty() || SDL_RenderReadPixels(RENDERER, nullptr, SDL_PIXELFORMAT_ARGB8888,
                                                    KEPT.pixels.data(), KEPT.width * 4) != 0)
        KEPT.pixels.clear();
    SDL_RenderPresent(RENDERER);
}

void show_kept() {
    if (KEPT.pixels.empty()) return;
    // Made for each showing: the renderer, which owns its textures, may be gone by the next.
    Texture copy(SDL_CreateTexture(RENDERER, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                   KEPT.width, KEPT.height));
    if (!copy || SDL_UpdateTexture(copy.get(), nullptr, KEPT.pixels.data(), KEPT.width * 4) != 0)
        return;
    SDL_SetTextureBlendMode(copy.get(), SDL_BLENDMODE_NONE);
    SDL_RenderCopy(RENDERER, copy.get(), nullptr, nullptr);
    SDL_RenderPresent(RENDERER);
}
