// Builds the battlefield file (one byte per cell, 1 wall, 0 empty) from a drawing of '#' and '.'.
#include "tool.h"

#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int COLUMNS = 64;
constexpr int ROWS = 36;

struct Failure {
    int line;
    std::string message;
};

// ';' lines and blank lines may precede the grid; the grid is the rest of the file.
std::vector<uint8_t> parse_map(std::istream& in, Failure& failure) {
    std::vector<uint8_t> cells;
    std::string text;
    int line = 0;
    int row = 0;
    while (std::getline(in, text)) {
        ++line;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (row == 0 && (text.empty() || text.front() == ';')) continue;
        if (row == ROWS) {
            failure = {line, "text after the 36 rows of the grid"};
            return {};
        }
        if (text.size() != COLUMNS) {
            failure = {line, "grid row " + std::to_string(row) + " has " +
                                 std::to_string(text.size()) + " characters, expected 64"};
            return {};
        }
        for (int x = 0; x < COLUMNS; ++x) {
            const char c = text[x];
            if (c != '#' && c != '.') {
                failure = {line, "column " + std::to_string(x) + ": '" + std::string(1, c) +
                                     "' is neither '#' (wall) nor '.' (empty)"};
                return {};
            }
            const bool ring = row == 0 || row == ROWS - 1 || x == 0 || x == COLUMNS - 1;
            if (ring && c != '#') {
                failure = {line, "column " + std::to_string(x) +
                                     ": the outer ring must be wall so the battlefield is closed"};
                return {};
            }
            cells.push_back(c == '#' ? 1 : 0);
        }
        ++row;
    }
    if (row != ROWS) {
        failure = {line, "the grid has " + std::to_string(row) + " rows, expected 36"};
        return {};
    }
    return cells;
}

} // namespace

int main(int argc, char** argv) {
    if (!tool_usage(argc, "make_map SOURCE.txt OUTPUT.dat")) return 2;
    std::ifstream in;
    if (!open_source(argv[1], in)) return 1;
    Failure failure{0, ""};
    const std::vector<uint8_t> cells = parse_map(in, failure);
    if (cells.empty()) {
        std::cerr << argv[1] << ":" << failure.line << ": " << failure.message << "\n";
        return 1;
    }
    return write_output(argv[2], {reinterpret_cast<const char*>(cells.data()), cells.size()});
}
