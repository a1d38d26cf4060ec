// Glyphs from one font sheet, tinted per draw, placed on the 64 x 36 grid.
#include "display/text.h"

#include "shell/shell.h"

#include <SDL.h>
#include <array>

std::unique_ptr<Font> FONT;

void TextureDeleter::operator()(SDL_Texture* texture) const {
    SDL_DestroyTexture(texture);
}

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

// Each channel as modulation computes it: value * tint / 255, rounded down.
Texture tinted_sheet(const SDL_Surface* sheet, const Colour& colour) {
    SDL_Surface* copy = SDL_DuplicateSurface(const_cast<SDL_Surface*>(sheet));
    if (!copy) return nullptr;
    const std::array<uint32_t, 4> tint = {colour.b, colour.g, colour.r, colour.a};
    for (int32_t y = 0; y < copy->h; y++) {
        auto* row =
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(copy->pixels) + y * copy->pitch);
        for (int32_t x = 0; x < copy->w; x++) {
            uint32_t pixel = 0;
            for (uint32_t channel = 0; channel < 4; channel++)
                pixel |= ((row[x] >> (8 * channel) & 0xff) * tint[channel] / 255) << (8 * channel);
            row[x] = pixel;
        }
    }
    Texture texture(SDL_CreateTextureFromSurface(RENDERER, copy));
    SDL_FreeSurface(copy);
    return texture;
}

void tint_font(Font& font, SDL_Surface* image) {
    SDL_Surface* sheet = SDL_ConvertSurfaceFormat(image, SDL_PIXELFORMAT_ARGB8888, 0);
    if (!sheet) return;
    if (alpha_is_two_level(sheet)) {
        for (size_t i = 0; i < PALETTE.size(); i++)
            font.tinted[i] = tinted_sheet(sheet, PALETTE[i]);
    }
    SDL_FreeSurface(sheet);
}

// The sheet to copy `colour` from without modulation; null where the plain sheet must serve.
SDL_Texture* sheet_for(const Colour& colour) {
    const uint32_t key = packed(colour);
    for (size_t i = 0; i < PALETTE_KEYS.size(); i++)
        if (PALETTE_KEYS[i] == key) return FONT->tinted[i].get();
    return nullptr;
}
} // namespace

std::unique_ptr<Font> load_bmp_font(const char* path, Tint tint) {
    SDL_Surface* image = SDL_LoadBMP_RW(SDL_RWFromFile(path, "rb"), 1);
    if (!image) {
        asset_failure(path, SDL_GetError());
        return nullptr;
    }
    if (image->w < CELL) {
        // Cells are cut by the sheet's width; a narrower sheet has no whole glyph.
        SDL_FreeSurface(image);
        asset_failure(path, "font sheet narrower than one glyph");
        return nullptr;
    }
    auto font = std::make_unique<Font>();
    font->width = image->w;
    font->texture.reset(SDL_CreateTextureFromSurface(RENDERER, image));
    if (tint == Tint::PER_COLOUR_WHEN_FASTER && modulation_is_slow()) tint_font(*font, image);
    SDL_FreeSurface(image);
    return font;
}

void print_char(uint8_t glyph, int32_t row, int32_t col, const Colour& colour) {
    if (glyph == 0 || !FONT) return; // no font: a simulation that draws nothing
    SDL_Texture* texture = sheet_for(colour);
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

void darken_screen() {
    SDL_SetRenderDrawColor(RENDERER, 0, 0, 0, 200);
    SDL_SetRenderDrawBlendMode(RENDERER, SDL_BLENDMODE_BLEND);
    SDL_RenderFillRect(RENDERER, nullptr);
}
