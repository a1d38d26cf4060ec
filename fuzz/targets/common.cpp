// What every fuzz target shares: the input reader, SDL once per process, scratch files.
#include "fuzz_targets.h"

#include "display/text.h"
#include "headless.h"
#include "shell/shell.h"

#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

uint32_t take(FuzzInput& in, size_t bytes) {
    uint32_t value = 0;
    for (size_t i = 0; i < bytes; i++, in.at++)
        if (in.at < in.size) value |= uint32_t{in.data[in.at]} << (8 * i);
    return value;
}

std::vector<uint8_t> take_block(FuzzInput& in, size_t count) {
    const size_t start = std::min(in.at, in.size);
    const size_t end = std::min(in.size, start + count);
    in.at = end;
    return std::vector<uint8_t>(in.data + start, in.data + end);
}

void fuzz_start() {
    if (RENDERER && FONT) return;
    fuzz_check(start_headless(true), "start-up");
    // A pixel a cell: the game's logical size still holds, and frames cost next to nothing.
    SDL_SetWindowSize(WINDOW, COLUMNS, ROWS);
    // Every glyph a solid block: the targets care where drawing goes, not what it shows.
    SDL_Surface* sheet = SDL_CreateRGBSurfaceWithFormat(0, 288, 288, 32, SDL_PIXELFORMAT_ARGB8888);
    fuzz_check(sheet != nullptr, "font sheet");
    SDL_FillRect(sheet, nullptr, 0xFFFFFFFF);
    FONT = font_from_sheet(sheet, Tint::PER_DRAW);
    SDL_FreeSurface(sheet);
    fuzz_check(FONT != nullptr, "font");
}

ScratchFile::ScratchFile(const char* name, const void* data, size_t size)
    : path((std::filesystem::temp_directory_path() /
            ("queltivar-fuzz-" + std::to_string(getpid()) + "-" + name))
               .string()) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    fuzz_check(file != nullptr, "scratch file");
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);
}

ScratchFile::~ScratchFile() {
    std::remove(path.c_str());
}

void fuzz_check(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "fuzz: broken: %s\n", what);
    std::abort();
}
