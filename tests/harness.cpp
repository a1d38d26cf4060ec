// Headless test harness: real frames read back cell by cell, scripted input, a driven clock.
#include "harness.h"

#include "display/glyphs.h"
#include "headless.h"
#include "input/input.h"
#include "platform/clock.h"
#include "shell/shell.h"
#include "sound/mixer.h"

#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace {
// Pattern of the test font, in cell pixels: the top row marks a glyph and carries its colour;
// bit b of the code lights a block in the upper band, its complement one in the lower band.
constexpr int32_t MARK_Y = 0;
constexpr int32_t SET_Y = 4;
constexpr int32_t CLEAR_Y = 10;
constexpr int32_t BACKGROUND_X = 0, BACKGROUND_Y = 17; // never lit by any glyph
int32_t bit_x(int b) {
    return 2 + 2 * b;
}

std::deque<std::function<void()>> READ_SCRIPT;
Point FAKE_POINTER = {0, 0};

Point fake_pointer() {
    if (!READ_SCRIPT.empty()) {
        auto action = std::move(READ_SCRIPT.front());
        READ_SCRIPT.pop_front();
        action();
    }
    return FAKE_POINTER;
}
} // namespace

std::string Frame::text(int32_t row, int32_t col, int32_t length) const {
    std::string out;
    for (int32_t i = 0; i < length; i++) {
        int glyph = at(row, col + i).glyph;
        out += glyph == GLYPH_NONE ? ' ' : glyph < 0 ? '?' : static_cast<char>(glyph);
    }
    return out;
}

bool same_colour(const Cell& cell, const Colour& colour) {
    return cell.r == colour.r && cell.g == colour.g && cell.b == colour.b;
}

namespace {
SDL_Surface* test_font_sheet(int32_t width, int32_t height) {
    const int32_t per_row = width / CELL;
    if (height == 0) height = (255 / per_row + 1) * CELL;
    SDL_Surface* sheet =
        SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!sheet) throw std::runtime_error(SDL_GetError());
    SDL_FillRect(sheet, nullptr, 0x00000000);
    auto light = [&](int32_t x, int32_t y, int32_t w, int32_t h) {
        const SDL_Rect r = {x, y, w, h};
        SDL_FillRect(sheet, &r, 0xFFFFFFFF);
    };
    for (int g = 1; g < 256; g++) {
        const int32_t x0 = g % per_row * CELL;
        const int32_t y0 = g / per_row * CELL;
        light(x0, y0 + MARK_Y, CELL, 1);
        for (int b = 0; b < 8; b++)
            light(x0 + bit_x(b), y0 + ((g >> b & 1) ? SET_Y : CLEAR_Y), 2, 2);
    }
    return sheet;
}
} // namespace

void write_test_font(const std::string& path, int32_t width, int32_t height) {
    SDL_Surface* sheet = test_font_sheet(width, height);
    const bool saved = SDL_SaveBMP(sheet, path.c_str()) == 0;
    SDL_FreeSurface(sheet);
    if (!saved) throw std::runtime_error(SDL_GetError());
}

Frame read_frame() {
    flush_screen();
    std::vector<uint32_t> pixels(WINDOW_WIDTH * WINDOW_HEIGHT);
    if (SDL_RenderReadPixels(RENDERER, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(),
                             WINDOW_WIDTH * 4) != 0)
        throw std::runtime_error(SDL_GetError());
    Frame frame;
    for (int32_t row = 0; row < ROWS; row++) {
        for (int32_t col = 0; col < COLUMNS; col++) {
            auto px = [&](int32_t x, int32_t y) {
                return pixels[(row * CELL + y) * WINDOW_WIDTH + col * CELL + x] & 0xFFFFFF;
            };
            uint32_t mark = px(CELL / 2, MARK_Y);
            Cell& cell = frame.cells[row * COLUMNS + col];
            cell = {0, static_cast<uint8_t>(mark >> 16), static_cast<uint8_t>(mark >> 8),
                    static_cast<uint8_t>(mark)};
            if (mark == px(BACKGROUND_X, BACKGROUND_Y)) continue;
            for (int b = 0; b < 8; b++) {
                bool set = px(bit_x(b), SET_Y) == mark, clear = px(bit_x(b), CLEAR_Y) == mark;
                if (set == clear) {
                    cell.glyph = -1;
                    break;
                }
                cell.glyph |= set << b;
            }
        }
    }
    return frame;
}

Headless::Headless() {
    if (!start_headless(false)) throw std::runtime_error("start-up failed");
    SDL_Surface* sheet = test_font_sheet(288, 0);
    FONT = font_from_sheet(sheet, Tint::PER_COLOUR_WHEN_FASTER);
    SDL_FreeSurface(sheet);
    if (!FONT) throw std::runtime_error("test font did not load");
    drive_clock();
    POINTER_SOURCE = fake_pointer;
    FAKE_TICKS = 0;
    FAKE_POINTER = {0, 0};
    READ_SCRIPT.clear();
    KEYS = {};
    MOUSE = {};
    MOUSE_POS = {0, 0};
    CHANGE_STATE = 0;
    EXIT_STATUS = 0;
    SDL_RenderClear(RENDERER);
}

Headless::~Headless() {
    READ_SCRIPT.clear();
    empty_mixer();
    shut_down();
    STATE = nullptr;
}

void move_pointer(int32_t x, int32_t y) {
    SDL_Event event = {};
    event.type = SDL_MOUSEMOTION;
    event.motion.x = x;
    event.motion.y = y;
    push_event(event);
    FAKE_POINTER = {x, y};
}

void on_read(std::function<void()> action) {
    READ_SCRIPT.push_back(std::move(action));
}

size_t pending_reads() {
    return READ_SCRIPT.size();
}

std::string temp_dir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "queltivar-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("no temporary directory");
    return pattern;
}

WorkDir::WorkDir() : saved(std::filesystem::current_path()), dir(temp_dir()) {
    std::filesystem::create_directory(dir + "/assets");
    std::filesystem::current_path(dir);
}

WorkDir::~WorkDir() {
    std::filesystem::current_path(saved);
    std::filesystem::remove_all(dir);
}

void write_file(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error("cannot write " + path);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}
