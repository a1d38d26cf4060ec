// Glyphs from one font sheet, tinted per draw, placed on the 64 x 36 grid.
#include "display/text.h"

#include "shell/shell.h"

#include <SDL.h>

std::unique_ptr<Font> FONT;

void TextureDeleter::operator()(SDL_Texture* texture) const {
    SDL_DestroyTexture(texture);
}

std::unique_ptr<Font> load_bmp_font(const char* path) {
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
    SDL_FreeSurface(image);
    return font;
}

void print_char(uint8_t glyph, int32_t row, int32_t col, const Colour& colour) {
    if (glyph == 0) return;
    SDL_Texture* texture = FONT->texture.get();
    SDL_SetTextureColorMod(texture, colour.r, colour.g, colour.b);
    SDL_SetTextureAlphaMod(texture, colour.a);
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
