// What every asset tool shares: its command line and errors, little-endian numbers, the formats
// it writes and the built file. The tests build files with it too.
#pragma once

#include <cstdint>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What stops a tool, thrown from anywhere in it: printed as `file:line: message`, and the tool
// ends with status 1.
struct ToolError {
    std::optional<int> line; // in the source; none when the fault is not on one line
    std::string message;
    std::string file = {}; // the file or argument at fault, when it is not the source
};

// A tool run as `usage` with `arguments` arguments, the first its source: `work()`, then status
// 0, or 1 with the ToolError it threw; the usage line and status 2 when the arguments are wrong.
template <class Work>
int run_tool(int argc, char** argv, int arguments, const char* usage, Work work) {
    if (argc != arguments + 1) {
        std::cerr << "usage: " << usage << "\n";
        return 2;
    }
    try {
        work();
        return 0;
    } catch (const ToolError& error) {
        std::cerr << (error.file.empty() ? argv[1] : error.file);
        if (error.line) std::cerr << ":" << *error.line;
        std::cerr << ": " << error.message << "\n";
        return 1;
    }
}

inline std::ifstream open_input(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ToolError{std::nullopt, "cannot open", path};
    return in;
}

// The game reads every number of its files little-endian.
inline void put_le(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

// The fields of a RIFF WAVE file's format chunk.
struct WavFormat {
    uint16_t tag = 1; // 1: PCM
    uint16_t channels = 1;
    uint32_t rate;            // frames per second
    uint32_t byte_rate;       // bytes per second
    uint16_t block_align = 2; // bytes per frame
    uint16_t bits = 16;       // per sample
};

// A RIFF WAVE file up to its sample data, which is `data_bytes` long and comes next.
inline std::string wav_header(const WavFormat& format, uint32_t data_bytes) {
    std::string out = "RIFF";
    put_le(out, 36 + data_bytes, 4);
    out += "WAVEfmt ";
    put_le(out, 16, 4); // size of the format chunk
    put_le(out, format.tag, 2);
    put_le(out, format.channels, 2);
    put_le(out, format.rate, 4);
    put_le(out, format.byte_rate, 4);
    put_le(out, format.block_align, 2);
    put_le(out, format.bits, 2);
    out += "data";
    put_le(out, data_bytes, 4);
    return out;
}

// Pixels of a picture as 0xAARRGGBB, rows top first.
struct Picture {
    uint32_t width, height;
    std::vector<uint32_t> argb;
};

namespace bmp {
constexpr uint32_t FILE_HEADER_SIZE = 14;
constexpr uint32_t V4_HEADER_SIZE = 108;
constexpr uint32_t BI_BITFIELDS = 3;
constexpr uint32_t LCS_SRGB = 0x73524742;
constexpr uint32_t PIXELS_PER_METRE = 2835;
constexpr uint32_t MASKS[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}; // R, G, B, A
} // namespace bmp

// A BITMAPV4HEADER with BI_BITFIELDS and an explicit alpha mask, so loaders keep the alpha.
inline std::string encode_bmp(const Picture& picture) {
    using namespace bmp;
    const uint32_t pixel_bytes = picture.width * picture.height * 4;
    std::string out = "BM";
    put_le(out, FILE_HEADER_SIZE + V4_HEADER_SIZE + pixel_bytes, 4);
    put_le(out, 0, 4);
    put_le(out, FILE_HEADER_SIZE + V4_HEADER_SIZE, 4);

    put_le(out, V4_HEADER_SIZE, 4);
    put_le(out, picture.width, 4);
    put_le(out, picture.height, 4); // positive height: rows run bottom-up
    put_le(out, 1, 2);
    put_le(out, 32, 2);
    put_le(out, BI_BITFIELDS, 4);
    put_le(out, pixel_bytes, 4);
    put_le(out, PIXELS_PER_METRE, 4);
    put_le(out, PIXELS_PER_METRE, 4);
    put_le(out, 0, 4);
    put_le(out, 0, 4);
    for (uint32_t mask : MASKS) put_le(out, mask, 4);
    put_le(out, LCS_SRGB, 4);
    for (int i = 0; i < 12; ++i) put_le(out, 0, 4); // colour endpoints and gammas, unused for sRGB

    for (uint32_t y = picture.height; y-- > 0;)
        for (uint32_t x = 0; x < picture.width; ++x)
            put_le(out, picture.argb[y * picture.width + x], 4);
    return out;
}

// Reads back what encode_bmp writes, and nothing else.
inline std::optional<Picture> decode_bmp(std::string_view bytes) {
    using namespace bmp;
    auto get = [&](size_t at, int size) {
        uint32_t value = 0;
        for (int i = size - 1; i >= 0; --i) value = value << 8 | uint8_t(bytes[at + i]);
        return value;
    };
    const size_t pixels_at = FILE_HEADER_SIZE + V4_HEADER_SIZE;
    if (bytes.size() < pixels_at || bytes.substr(0, 2) != "BM" || get(10, 4) != pixels_at ||
        get(28, 2) != 32 || get(30, 4) != BI_BITFIELDS || get(66, 4) != MASKS[3])
        return std::nullopt;
    Picture picture{get(18, 4), get(22, 4), {}};
    if (picture.width > 4096 || picture.height > 4096 ||
        bytes.size() - pixels_at < size_t(picture.width) * picture.height * 4)
        return std::nullopt;
    picture.argb.resize(size_t(picture.width) * picture.height);
    for (uint32_t y = 0; y < picture.height; ++y)
        for (uint32_t x = 0; x < picture.width; ++x)
            picture.argb[y * picture.width + x] =
                get(pixels_at + 4 * ((picture.height - 1 - y) * picture.width + x), 4);
    return picture;
}

inline void write_output(const char* path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw ToolError{std::nullopt, "cannot write", path};
}

// Most tools are run as `NAME SOURCE OUTPUT`: `build(in)` makes the output's bytes from the
// source.
template <class Build>
int build_tool(int argc, char** argv, const char* usage, Build build) {
    return run_tool(argc, argv, 2, usage, [&] {
        std::ifstream in = open_input(argv[1]);
        write_output(argv[2], build(in));
    });
}
