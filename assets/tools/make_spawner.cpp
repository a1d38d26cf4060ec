// Builds the wave script (a count, then packed 13-byte commands) from lines of "field kind
// delay_ms".
#include "tool.h"

#include <charconv>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr uint64_t MAX_FIELD = 7;
constexpr uint64_t MIN_KIND = 1;
constexpr uint64_t MAX_KIND = 5;
constexpr size_t MAX_COMMANDS = 65535; // the game keeps the count in 16 bits

struct Command {
    uint8_t field;
    uint32_t kind;
    uint64_t delay; // ms until the next command
};

// Plain decimal digits only: a sign, a fraction or trailing letters are mistakes in a script.
bool parse_number(const std::string& word, uint64_t& value) {
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    return error == std::errc() && stop == end;
}

// Adds the command on a line, if it holds one.
void parse_line(const std::string& text, int line, std::vector<Command>& commands) {
    std::istringstream words(text.substr(0, text.find('#')));
    std::vector<std::string> fields;
    for (std::string word; words >> word;) fields.push_back(word);
    if (fields.empty()) return;
    const auto fault = [line](const std::string& message) { return ToolError{line, message}; };
    if (fields.size() != 3)
        throw fault("expected \"field kind delay_ms\", found " + std::to_string(fields.size()) +
                    " words");
    uint64_t field = 0;
    uint64_t kind = 0;
    uint64_t delay = 0;
    if (!parse_number(fields[0], field)) throw fault("field '" + fields[0] + "' is not a number");
    if (!parse_number(fields[1], kind)) throw fault("kind '" + fields[1] + "' is not a number");
    if (!parse_number(fields[2], delay)) throw fault("delay '" + fields[2] + "' is not a number");
    if (field > MAX_FIELD) throw fault("field " + fields[0] + " is not 0 to 7");
    if (kind < MIN_KIND || kind > MAX_KIND) throw fault("kind " + fields[1] + " is not 1 to 5");
    if (commands.size() == MAX_COMMANDS) throw fault("more than 65535 commands");
    commands.push_back({static_cast<uint8_t>(field), static_cast<uint32_t>(kind), delay});
}

std::string encode(const std::vector<Command>& commands) {
    std::string bytes;
    put_le(bytes, commands.size(), 4);
    for (const Command& command : commands) {
        put_le(bytes, command.field, 1);
        put_le(bytes, command.kind, 4);
        put_le(bytes, command.delay, 8);
    }
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    return build_tool(argc, argv, "make_spawner SOURCE.txt OUTPUT.dat", [](std::istream& in) {
        std::vector<Command> commands;
        std::string text;
        for (int line = 1; std::getline(in, text); ++line) parse_line(text, line, commands);
        if (commands.empty()) throw ToolError{std::nullopt, "the script holds no command"};
        return encode(commands);
    });
}
