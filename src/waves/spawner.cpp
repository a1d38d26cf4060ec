// The wave script and level progression: one command at a time, on the game clock.
#include "waves/spawner.h"

#include "input/input.h"
#include "platform/assets.h"
#include "platform/clock.h"
#include "sound/sound.h"
#include "waves/spawn_field.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {
constexpr uint64_t BONUS_MARGIN_MS = 20000; // the next command must be further off than this
constexpr uint64_t BONUS_DELAY_MS = 6000;
constexpr uint32_t BONUS_SCORE = 500;
// Where the player's quarter of the screen changes: the right half and the lower half.
constexpr int32_t RIGHT_HALF_X = 33;
constexpr int32_t LOWER_HALF_Y = 19;

uint64_t read_le(const std::vector<uint8_t>& bytes, size_t at, size_t size) {
    uint64_t value = 0;
    for (size_t i = 0; i < size; i++) value |= static_cast<uint64_t>(bytes[at + i]) << (8 * i);
    return value;
}

bool playable(const SpawnCommand& command) {
    return command.field < FIELD_COUNT && command.kind >= BLUE_RAM && command.kind <= CYAN_GUNNER;
}

// A script delay may be anything; a sum that wrapped would bring the next command early.
uint64_t later(uint64_t now, uint64_t delay) {
    return delay > std::numeric_limits<uint64_t>::max() - now ? std::numeric_limits<uint64_t>::max()
                                                              : now + delay;
}

void activate(SpawnField& field, uint32_t kind, Spawner& spawner) {
    field.kind = kind;
    // A field already blinking releases once, so it must not be counted twice.
    if (field.active) return;
    field.active = 1;
    spawner.pending++;
}
} // namespace

Spawner parse_spawner(const std::vector<uint8_t>& bytes) {
    Spawner spawner = {
        .next_time = 0, .count = 0, .next = 0, .level = 1, .pending = 0, .commands = {}};
    if (bytes.size() < SCRIPT_HEADER_BYTES) return spawner;
    uint64_t promised = read_le(bytes, 0, 4);
    uint64_t complete = (bytes.size() - SCRIPT_HEADER_BYTES) / COMMAND_BYTES;
    spawner.count = static_cast<uint16_t>(std::min({promised, complete, uint64_t{MAX_COMMANDS}}));
    spawner.commands.reserve(spawner.count);
    for (size_t i = 0; i < spawner.count; i++) {
        size_t at = SCRIPT_HEADER_BYTES + COMMAND_BYTES * i;
        spawner.commands.push_back({.field = bytes[at],
                                    .kind = static_cast<uint32_t>(read_le(bytes, at + 1, 4)),
                                    .delay = read_le(bytes, at + 5, 8)});
    }
    return spawner;
}

std::optional<Spawner> load_spawner(const char* path) {
    // Only the commands a 16-bit count can hold are ever read.
    const auto bytes = read_asset(path, SCRIPT_HEADER_BYTES + size_t{COMMAND_BYTES} * MAX_COMMANDS);
    if (!bytes) return std::nullopt;
    return parse_spawner(*bytes);
}

bool start_spawner(Spawner& spawner) {
    if (spawner.next_time != 0) return true;
    if (!MOUSE[MOUSE_LEFT]) return false;
    spawner.next_time = TIME.now;
    play_effect(FX_FANFARE);
    return true;
}

void command_spawn_fields(Spawner& spawner) {
    if (TIME.now < spawner.next_time || spawner.next >= spawner.count) return;
    const SpawnCommand& command = spawner.commands[spawner.next];
    spawner.next++;
    spawner.next_time = later(TIME.now, command.delay);
    // A command that names no field or no enemy or comet is passed over; its delay still counts.
    if (!playable(command)) return;
    activate(SPAWN_FIELDS[command.field], command.kind, spawner);
}

void update_spawner(Spawner& spawner, const Ship& player, const Army& army, const Ship& comet) {
    if (!start_spawner(spawner)) return;

    // The charge is negated while the trigger is latched; its size is the shots left.
    bool laser_low = std::abs(player.charge) < player.max_charge / 2;
    if (laser_low && spawner.pending == 0 && comet.integrity < 0) {
        // The corner diagonally opposite the player's quarter.
        uint8_t corner = FIRST_COMET_FIELD + (player.x >= RIGHT_HALF_X ? 1 : 0) +
                         (player.y >= LOWER_HALF_Y ? 2 : 0);
        activate(SPAWN_FIELDS[corner], COMET, spawner);
    }

    if (army.empty() && comet.integrity < 0 &&
        later(TIME.now, BONUS_MARGIN_MS) < spawner.next_time && spawner.pending == 0) {
        play_effect(FX_FANFARE);
        SCORE += BONUS_SCORE;
        spawner.next_time = later(TIME.now, BONUS_DELAY_MS);
        spawner.level++;
    }

    command_spawn_fields(spawner);
}
