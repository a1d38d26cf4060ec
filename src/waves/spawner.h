// The wave script: commands issued on the game clock, comet calls and the early-clear bonus.
#pragma once

#include "battlefield/army.h"
#include "battlefield/ship.h"

#include <cstdint>
#include <optional>
#include <type_traits>
#include <vector>

struct SpawnCommand {
    uint8_t field;  // SPAWN_FIELDS index
    uint32_t kind;  // SHIPS index to release
    uint64_t delay; // ms from the issue of this command to the issue of the next
};
static_assert(std::is_trivially_copyable_v<SpawnCommand>);

// Bytes of the script file: a 32-bit count, then packed commands of 1 + 4 + 8 bytes.
constexpr uint32_t SCRIPT_HEADER_BYTES = 4;
constexpr uint32_t COMMAND_BYTES = 13;
constexpr uint32_t MAX_COMMANDS = 65535;

struct Spawner {
    uint64_t next_time; // ms of game time the next command is due; 0 until the first click
    uint16_t count;
    uint16_t next; // index of the next command to issue, 0 to count
    uint16_t level;
    uint8_t pending; // activated fields that have not released yet
    std::vector<SpawnCommand> commands;
};

// The script read from raw bytes; its complete commands only, at most MAX_COMMANDS.
Spawner parse_spawner(const std::vector<uint8_t>& bytes);
// Null, reported, with CHANGE_STATE raised, when the file cannot be read.
std::optional<Spawner> load_spawner(const char* path);
// Whether the script runs; a held left button starts it, with the fanfare.
bool start_spawner(Spawner& spawner);
// Once started: calls the comet when the laser runs low, pays the early-clear bonus and
// issues the command that is due.
void update_spawner(Spawner& spawner, const Ship& player, const Army& army, const Ship& comet);
// Issues the next command when it is due: activates its field.
void command_spawn_fields(Spawner& spawner);
