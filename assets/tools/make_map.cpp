// Builds the battlefield file (one byte per cell, 1 wall, 0 empty) from a drawing of '#' and '.'.
#include "platform/grid.h"
#include "tool.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

// ';' lines and blank lines may precede the grid; the grid is the rest of the file.
std::vector<uint8_t> parse_map(std::istream& in) {
    std::vector<uint8_t> cells;
    std::string text;
    int line = 0;
    int row = 0;
    while (std::getline(in, text)) {
        ++line;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (row == 0 && (text.empty() || text.front() == ';')) continue;
        if (row == ROWS)
            throw ToolError{line, "text after the " + std::to_string(ROWS) + " rows of the grid"};
        if (text.size() != COLUMNS)
            throw ToolError{line, "grid row " + std::to_string(row) + " has " +
                                      std::to_string(text.size()) + " characters, expected " +
                                      std::to_string(COLUMNS)};
        for (int x = 0; x < COLUMNS; ++x) {
            const char c = text[x];
            if (c != '#' && c != '.')
                throw ToolError{line, "column " + std::to_string(x) + ": '" + std::string(1, c) +
                                          "' is neither '#' (wall) nor '.' (empty)"};
            const bool ring = row == 0 || row == ROWS - 1 || x == 0 || x == COLUMNS - 1;
            if (ring && c != '#')
                throw ToolError{line, "column " + std::to_string(x) +
                                          ": the outer ring must be wall so the battlefield is "
                                          "closed"};
            cells.push_back(c == '#' ? 1 : 0);
        }
        ++row;
    }
    if (row != ROWS)
        throw ToolError{line, "the grid has " + std::to_string(row) + " rows, expected " +
                                  std::to_string(ROWS)};
    return cells;
}

} // namespace

int main(int argc, char** argv) {
    return build_tool(argc, argv, "make_map SOURCE.txt OUTPUT.dat", [](std::istream& in) {
        const std::vector<uint8_t> cells = parse_map(in);
        return std::string(cells.begin(), cells.end());
    });
}
