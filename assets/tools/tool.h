// What every asset tool shares: its command line, little-endian numbers, the built file.
#pragma once

#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

// Every tool is run as `make_x SOURCE OUTPUT`; false, with the usage line, otherwise.
inline bool tool_usage(int argc, const char* usage) {
    if (argc == 3) return true;
    std::cerr << "usage: " << usage << "\n";
    return false;
}

// Opens the source; false, with a message, when it cannot.
inline bool open_source(const char* path, std::ifstream& in) {
    in.open(path, std::ios::binary);
    if (!in) std::cerr << path << ": cannot open\n";
    return static_cast<bool>(in);
}

// The game reads every number of its files little-endian.
inline void put_le(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

// Writes the built file; the tool's exit status: 0, or 1 with a message.
inline int write_output(const char* path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (out.flush()) return 0;
    std::cerr << path << ": cannot write\n";
    return 1;
}
