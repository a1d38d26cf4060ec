// Builds the glyph sheet (a 32-bit BMP with alpha) from the hand-drawn text source of the font.
#include "tool.h"

#include <array>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int CELL = 18;
constexpr int CODES = 256;
constexpr int CELLS_PER_ROW = 16;
constexpr int SHEET_SIZE = CELL * CELLS_PER_ROW;
constexpr char INK = '#';
constexpr char CLEAR = '.';

struct Sheet {
    std::vector<uint8_t> ink = std::vector<uint8_t>(SHEET_SIZE * SHEET_SIZE, 0);
    std::array<int, CODES> defined_at{}; // source line of each code's picture, 0 while undrawn
};

struct Source {
    std::vector<std::string> lines;
};

[[noreturn]] void fail(size_t line_index, const std::string& message) {
    throw ToolError{static_cast<int>(line_index) + 1, message};
}

bool is_pixel_row(const std::string& line) {
    return !line.empty() && line.find_first_not_of("#.") == std::string::npos;
}

bool ends_body(const std::string& line) {
    return line.empty() || line[0] == ';' || line.rfind("glyph", 0) == 0 ||
           line.rfind("strip", 0) == 0;
}

int parse_code(size_t line_index, const std::string& word) {
    if (word.empty() || word.size() > 3 ||
        word.find_first_not_of("0123456789") != std::string::npos)
        fail(line_index, "'" + word + "' is not a glyph code (0 to 255)");
    int code = std::stoi(word);
    if (code >= CODES) fail(line_index, "glyph code " + word + " is above 255");
    return code;
}

// A range word is "N" or "N-M" with N <= M.
void parse_range(size_t line_index, const std::string& word, std::vector<int>& codes) {
    size_t dash = word.find('-');
    int first = parse_code(line_index, word.substr(0, dash));
    int last = dash == std::string::npos ? first : parse_code(line_index, word.substr(dash + 1));
    if (last < first) fail(line_index, "code range " + word + " runs backwards");
    for (int code = first; code <= last; ++code) codes.push_back(code);
}

// Reads the 18 rows that follow a header and cuts them into one cell per code, left to right.
size_t read_body(const Source& source, size_t header, const std::vector<int>& codes,
                 const std::string& name, Sheet& sheet) {
    const size_t width = CELL * codes.size();
    size_t at = header + 1;
    for (int row = 0; row < CELL; ++row, ++at) {
        if (at >= source.lines.size() || ends_body(source.lines[at]))
            fail(at,
                 name + " has " + std::to_string(row) + " rows, expected " + std::to_string(CELL));
        const std::string& line = source.lines[at];
        size_t bad = line.find_first_not_of("#.");
        if (bad != std::string::npos)
            fail(at, "bad character '" + std::string(1, line[bad]) + "' at column " +
                         std::to_string(bad + 1) + " of " + name + " (only '" + INK + "' and '" +
                         CLEAR + "' draw)");
        if (line.size() != width)
            fail(at, "row " + std::to_string(row + 1) + " of " + name + " is " +
                         std::to_string(line.size()) + " characters wide, expected " +
                         std::to_string(width));
        for (size_t x = 0; x < width; ++x) {
            int code = codes[x / CELL];
            int sheet_x = CELL * (code % CELLS_PER_ROW) + static_cast<int>(x % CELL);
            int sheet_y = CELL * (code / CELLS_PER_ROW) + row;
            sheet.ink[sheet_y * SHEET_SIZE + sheet_x] = line[x] == INK;
        }
    }
    if (at < source.lines.size() && is_pixel_row(source.lines[at]))
        fail(at, name + " has more than " + std::to_string(CELL) + " rows");
    for (int code : codes) {
        if (sheet.defined_at[code] != 0)
            fail(header, "glyph " + std::to_string(code) + " is drawn twice (first at line " +
                             std::to_string(sheet.defined_at[code]) + ")");
        sheet.defined_at[code] = static_cast<int>(header + 1);
    }
    return at;
}

Sheet parse(const Source& source) {
    Sheet sheet;
    size_t at = 0;
    while (at < source.lines.size()) {
        const std::string& line = source.lines[at];
        if (line.empty() || line[0] == ';') {
            ++at;
            continue;
        }
        std::istringstream words(line);
        std::string keyword = line.substr(0, line.find(' '));
        words.ignore(static_cast<std::streamsize>(keyword.size()));
        std::vector<int> codes;
        std::string name;
        if (keyword == "glyph") {
            std::string word;
            words >> word;
            codes.push_back(parse_code(at, word));
            name = "glyph " + word;
        } else if (keyword == "strip") {
            std::string word;
            while (words >> word) parse_range(at, word, codes);
            if (codes.empty()) fail(at, "strip names no codes");
            name = "strip";
        } else {
            const std::string expected =
                "expected 'glyph CODE words', 'strip RANGES', a ';' comment"
                " or a blank line, found '";
            fail(at, expected + line + "'");
        }
        at = read_body(source, at, codes, name, sheet);
    }
    return sheet;
}

// Ink is opaque white, everything else fully transparent.
Picture picture(const Sheet& sheet) {
    Picture out{SHEET_SIZE, SHEET_SIZE, std::vector<uint32_t>(sheet.ink.size())};
    for (size_t i = 0; i < out.argb.size(); ++i) out.argb[i] = sheet.ink[i] ? ~0u : 0u;
    return out;
}

} // namespace

int main(int argc, char** argv) {
    return build_tool(argc, argv, "make_font SOURCE.txt OUTPUT.bmp", [](std::istream& in) {
        Source source;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            source.lines.push_back(line);
        }
        return encode_bmp(picture(parse(source)));
    });
}
