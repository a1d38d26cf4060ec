// Builds the game's icon at one size from glyphs of its own font sheet, drawn one over another
// as the game draws a cell: a PNG for the desktop's icon theme, or a BMP for the window.
#include "tool.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int CELL = 18;
constexpr int CODES = 256;

struct Layer {
    int glyph;
    uint32_t rgb; // 0xRRGGBB
};

std::vector<Layer> parse(std::ifstream& in) {
    std::vector<Layer> layers;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        const auto fail = [where = ++number](const std::string& message) {
            throw ToolError{where, message};
        };
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        std::istringstream words(line);
        std::string keyword, code, colour, extra;
        words >> keyword >> code >> colour;
        if (keyword != "glyph" || (words >> extra))
            fail("expected 'glyph CODE RRGGBB', a ';' comment or a blank line");
        if (code.empty() || code.size() > 3 || code.find_first_not_of("0123456789") != code.npos ||
            std::stoi(code) >= CODES)
            fail("'" + code + "' is not a glyph code (0 to 255)");
        if (colour.size() != 6 || colour.find_first_not_of("0123456789abcdefABCDEF") != colour.npos)
            fail("'" + colour + "' is not a colour (six hex digits, RRGGBB)");
        layers.push_back({std::stoi(code), uint32_t(std::stoul(colour, nullptr, 16))});
    }
    if (layers.empty()) throw ToolError{std::nullopt, "draws no glyph"};
    return layers;
}

// Cut as the game cuts its cells: code g starts 18 g pixels into the sheet, read in rows.
bool ink(const Picture& sheet, int glyph, int x, int y) {
    const uint32_t offset = uint32_t(glyph) * CELL;
    const uint32_t sx = offset % sheet.width + x, sy = offset / sheet.width * CELL + y;
    return sheet.argb[sy * sheet.width + sx] >> 24 != 0;
}

// The side of the square the glyphs are drawn in: a whole multiple of a cell, so every pixel
// stays sharp, when one fills three quarters of the icon; otherwise just under the icon's side.
int box_side(int size) {
    const int cells = size / CELL * CELL;
    return cells > 0 && cells * 4 >= size * 3 ? cells : size - 2 * (size / 16);
}

// Each layer is scaled by area: an icon pixel takes the share of it that the glyph's ink covers,
// all in whole numbers so that every build makes the same bytes.
Picture draw(const Picture& sheet, const std::vector<Layer>& layers, int size) {
    const int side = box_side(size), margin = (size - side) / 2;
    // Overlap, in units of 1/(18 side) of the box, of glyph pixel i and icon pixel u.
    auto overlap = [&](int i, int u) {
        return std::max(0, std::min((i + 1) * side, (u + 1) * CELL) - std::max(i * side, u * CELL));
    };
    Picture icon{uint32_t(size), uint32_t(size), std::vector<uint32_t>(size * size, 0)};
    for (int v = 0; v < side; ++v)
        for (int u = 0; u < side; ++u) {
            // Premultiplied, scaled by 255: alpha and red, green, blue.
            std::array<uint32_t, 4> out{};
            for (const Layer& layer : layers) {
                uint32_t covered = 0;
                for (int j = v * CELL / side; j < CELL && j * side < (v + 1) * CELL; ++j)
                    for (int i = u * CELL / side; i < CELL && i * side < (u + 1) * CELL; ++i)
                        if (ink(sheet, layer.glyph, i, j)) covered += overlap(i, u) * overlap(j, v);
                const uint32_t alpha = (255 * covered + CELL * CELL / 2) / (CELL * CELL);
                out[0] = alpha * 255 + out[0] * (255 - alpha) / 255;
                for (int c = 1; c < 4; ++c) {
                    const uint32_t channel = layer.rgb >> (8 * (3 - c)) & 0xff;
                    out[c] = channel * alpha + out[c] * (255 - alpha) / 255;
                }
            }
            uint32_t pixel = (out[0] + 127) / 255 << 24;
            for (int c = 1; c < 4 && out[0] != 0; ++c)
                pixel |= std::min(255u, (out[c] * 255 + out[0] / 2) / out[0]) << (8 * (3 - c));
            icon.argb[(margin + v) * size + margin + u] = pixel;
        }
    return icon;
}

void put_be(std::string& out, uint32_t value) {
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>(value >> (8 * i) & 0xff));
}

uint32_t crc32(std::string_view bytes) {
    uint32_t crc = ~0u;
    for (char byte : bytes) {
        crc ^= uint8_t(byte);
        for (int bit = 0; bit < 8; ++bit) crc = crc >> 1 ^ (crc & 1 ? 0xEDB88320u : 0);
    }
    return ~crc;
}

void put_chunk(std::string& out, std::string_view type, std::string_view data) {
    put_be(out, uint32_t(data.size()));
    const std::string body = std::string(type) + std::string(data);
    out += body;
    put_be(out, crc32(body));
}

// Deflate's bits run from the low end of each byte; its Huffman codes from their high bit.
struct Bits {
    std::string out;
    uint32_t pending = 0;
    int count = 0;
    void put(uint32_t value, int bits) {
        pending |= value << count;
        for (count += bits; count >= 8; count -= 8, pending >>= 8)
            out.push_back(static_cast<char>(pending & 0xff));
    }
    void put_code(uint32_t code, int bits) {
        uint32_t reversed = 0;
        for (int i = 0; i < bits; ++i) reversed = reversed << 1 | (code >> i & 1);
        put(reversed, bits);
    }
    void put_symbol(int symbol) { // in deflate's fixed code
        if (symbol < 144)
            put_code(0x30 + symbol, 8);
        else if (symbol < 256)
            put_code(0x190 + symbol - 144, 9);
        else if (symbol < 280)
            put_code(symbol - 256, 7);
        else
            put_code(0xC0 + symbol - 280, 8);
    }
};

constexpr std::array<int, 29> LENGTH_BASE = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                             15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                             67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> LENGTH_EXTRA = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<int, 30> DISTANCE_BASE = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<int, 30> DISTANCE_EXTRA = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// A zlib stream in one block of deflate's fixed code. Icons are runs of few colours, so repeats
// of the pixel before and of the row above are all the matching it needs.
std::string zlib_fixed(std::string_view data, size_t row_bytes) {
    Bits bits;
    bits.out = "\x78\x01";
    bits.put(1, 1); // the last block
    bits.put(1, 2); // fixed code
    for (size_t at = 0; at < data.size();) {
        size_t best = 0, best_distance = 0;
        for (size_t distance : {size_t(4), row_bytes}) {
            if (distance > at) continue;
            size_t length = 0;
            while (length < 258 && at + length < data.size() &&
                   data[at + length] == data[at + length - distance])
                ++length;
            if (length > best) best = length, best_distance = distance;
        }
        if (best < 3) {
            bits.put_symbol(uint8_t(data[at++]));
            continue;
        }
        int code = 28;
        while (LENGTH_BASE[code] > int(best)) --code;
        bits.put_symbol(257 + code);
        bits.put(uint32_t(best - LENGTH_BASE[code]), LENGTH_EXTRA[code]);
        code = 29;
        while (DISTANCE_BASE[code] > int(best_distance)) --code;
        bits.put_code(code, 5);
        bits.put(uint32_t(best_distance - DISTANCE_BASE[code]), DISTANCE_EXTRA[code]);
        at += best;
    }
    bits.put_symbol(256);
    bits.put(0, 7); // to a whole byte
    uint32_t a = 1, b = 0;
    for (char byte : data) {
        a = (a + uint8_t(byte)) % 65521;
        b = (b + a) % 65521;
    }
    std::string out = std::move(bits.out);
    put_be(out, b << 16 | a);
    return out;
}

// 8-bit RGBA, every row unfiltered.
std::string encode_png(const Picture& picture) {
    std::string header;
    put_be(header, picture.width);
    put_be(header, picture.height);
    header += std::string("\x08\x06\x00\x00\x00", 5);
    std::string rows;
    for (uint32_t y = 0; y < picture.height; ++y) {
        rows.push_back(0);
        for (uint32_t x = 0; x < picture.width; ++x) {
            const uint32_t pixel = picture.argb[y * picture.width + x];
            for (int shift : {16, 8, 0, 24}) rows.push_back(static_cast<char>(pixel >> shift));
        }
    }
    std::string out = "\x89PNG\r\n\x1a\n";
    put_chunk(out, "IHDR", header);
    put_chunk(out, "IDAT", zlib_fixed(rows, 4 * picture.width + 1));
    put_chunk(out, "IEND", "");
    return out;
}

// The font sheet read from `font`, opened at `path`; it must hold all 256 glyphs.
Picture read_sheet(std::ifstream& font, const char* path) {
    const std::string font_bytes{std::istreambuf_iterator<char>(font), {}};
    const std::optional<Picture> sheet = decode_bmp(font_bytes);
    if (!sheet || sheet->width < CELL || sheet->width % CELL != 0 ||
        sheet->height < ((CODES - 1) * CELL / sheet->width + 1) * CELL)
        throw ToolError{std::nullopt, "not a font sheet of 256 glyphs", path};
    return *sheet;
}

int icon_size(const std::string& word) {
    if (word.empty() || word.size() > 4 || word.find_first_not_of("0123456789") != word.npos ||
        std::stoi(word) < 8)
        throw ToolError{std::nullopt, "not an icon size (8 to 9999 pixels)", word};
    return std::stoi(word);
}

} // namespace

int main(int argc, char** argv) {
    return run_tool(argc, argv, 4, "make_icon SOURCE.txt FONT.bmp SIZE OUTPUT.png|OUTPUT.bmp", [&] {
        std::ifstream source = open_input(argv[1]), font = open_input(argv[2]);
        const std::vector<Layer> layers = parse(source);
        const Picture sheet = read_sheet(font, argv[2]);
        const Picture icon = draw(sheet, layers, icon_size(argv[3]));
        const std::string output = argv[4];
        if (output.ends_with(".png"))
            write_output(argv[4], encode_png(icon));
        else if (output.ends_with(".bmp"))
            write_output(argv[4], encode_bmp(icon));
        else
            throw ToolError{std::nullopt, "the icon is written as .png or .bmp", output};
    });
}
