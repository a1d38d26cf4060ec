// Fuzz targets for the asset loaders: map, wave script, title art, font sheet and WAV file.
#include "fuzz_targets.h"

#include "battlefield/map.h"
#include "display/text.h"
#include "platform/assets.h"
#include "platform/clock.h"
#include "scenes/title.h"
#include "shell/shell.h"
#include "sound/mixer.h"
#include "sound/sound.h"
#include "tool.h"
#include "waves/spawn_field.h"
#include "waves/spawner.h"

#include <SDL.h>
#include <algorithm>

namespace {
// Loaders that fail report through asset_failure, which a scene would act on; start clean.
void forget_failures() {
    STATE = nullptr;
    CHANGE_STATE = 0;
    EXIT_STATUS = 0;
}
} // namespace

int fuzz_map(const uint8_t* data, size_t size) {
    fuzz_start();
    ScratchFile file("map", data, size);
    load_map(file.path.c_str());
    for (int32_t cell : MAP) fuzz_check(cell >= SPACE_EMPTY && cell <= SPACE_ENEMY, "map code");
    print_map();
    return 0;
}

int fuzz_spawner(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    Spawner spawner = parse_spawner(bytes);
    ScratchFile file("spawner", data, size);
    std::optional<Spawner> loaded = load_spawner(file.path.c_str());
    fuzz_check(loaded && loaded->count == spawner.count, "file and bytes agree");
    const uint64_t complete =
        size < SCRIPT_HEADER_BYTES ? 0 : (size - SCRIPT_HEADER_BYTES) / COMMAND_BYTES;
    fuzz_check(spawner.count <= complete && spawner.commands.size() == spawner.count, "count");

    // Every command issued on time, as the play scene would issue them.
    const Clock saved = TIME;
    reset_spawn_fields();
    spawner.next_time = TIME.now = 500;
    while (spawner.next < spawner.count) {
        const uint16_t next = spawner.next;
        TIME.now = spawner.next_time;
        command_spawn_fields(spawner);
        fuzz_check(spawner.next == next + 1 && spawner.pending <= FIELD_COUNT, "issue");
    }
    reset_spawn_fields();
    TIME = saved;
    return 0;
}

int fuzz_title(const uint8_t* data, size_t size) {
    fuzz_start();
    TITLE_DATA = {};
    ScratchFile file("title", data, size);
    load_title_data(file.path.c_str());
    for (const auto& row : TITLE_DATA)
        fuzz_check(std::find(row.begin(), row.end(), '\0') != row.end(), "row terminated");
    print_title_console();
    return 0;
}

// A BMP file around fuzzed size, depth, compression, masks, palette and pixels. Its header may
// claim any size at all (a 1 KB file can say 16384 x 16384 pixels), in the oldest header's 16-bit
// fields or a later one's 32-bit ones.
int fuzz_font(const uint8_t* data, size_t size) {
    fuzz_start();
    FuzzInput in{data, size};
    constexpr std::array<uint32_t, 6> DEPTHS = {1, 4, 8, 16, 24, 32};
    uint32_t width = take(in, 2) % 1024;
    auto height = static_cast<int32_t>(static_cast<int16_t>(take(in, 2))) % 512;
    const uint32_t bits = DEPTHS[take(in, 1) % DEPTHS.size()];
    const uint32_t flags = take(in, 1);
    const bool bitfields = flags & 1, cut = flags & 2, claims = flags & 4, oldest = flags & 8;
    if (claims) {
        width = take(in, 4);
        height = static_cast<int32_t>(take(in, 4));
    }
    if (oldest) width &= 0xffff, height &= 0xffff;
    const uint32_t colours = bits <= 8 ? take(in, 2) % 257 : 0;
    std::vector<uint8_t> masks = bitfields ? take_block(in, 12) : std::vector<uint8_t>{};
    masks.resize(masks.size() + (12 - masks.size()) % 12);
    if (oldest) masks.clear();
    const uint32_t entries = bits > 8 ? 0 : colours ? colours : 1u << bits;
    std::vector<uint8_t> palette = take_block(in, 4 * entries);
    std::vector<uint8_t> pixels = take_block(in, in.size);
    const uint64_t stride = (uint64_t{width} * bits + 31) / 32 * 4;
    const uint64_t whole = stride * static_cast<uint64_t>(std::abs(int64_t{height}));
    // Filled out to what the header promises only where that is a file a font could be.
    if (!cut && whole <= (1u << 20)) pixels.resize(std::max<size_t>(pixels.size(), whole));

    const uint32_t header = oldest ? 12 : 40;
    const uint32_t offset = 14 + header + static_cast<uint32_t>(masks.size() + palette.size());
    std::string bmp = "BM";
    put_le(bmp, offset + static_cast<uint32_t>(pixels.size()), 4);
    put_le(bmp, 0, 4);
    put_le(bmp, offset, 4);
    put_le(bmp, header, 4);
    if (oldest) {
        for (uint32_t field : {width, static_cast<uint32_t>(height), 1u, bits})
            put_le(bmp, field, 2);
    } else {
        for (uint32_t field : {width, static_cast<uint32_t>(height)}) put_le(bmp, field, 4);
        put_le(bmp, 1, 2);
        put_le(bmp, bits, 2);
        for (uint32_t field : {bitfields ? 3u : 0u, 0u, 2835u, 2835u, colours, 0u})
            put_le(bmp, field, 4);
    }
    for (const auto* part : {&masks, &palette, &pixels})
        bmp.insert(bmp.end(), part->begin(), part->end());

    ScratchFile file("font.bmp", bmp.data(), bmp.size());
    std::unique_ptr<Font> font = load_bmp_font(file.path.c_str());
    forget_failures();
    if (!font) return 0;
    FONT.swap(font);
    SDL_RenderClear(RENDERER);
    for (int32_t glyph = 0; glyph < 256; glyph++)
        print_char(static_cast<uint8_t>(glyph), glyph / COLUMNS, glyph % COLUMNS, WHITE);
    FONT.swap(font);
    return 0;
}

// A RIFF WAVE file around fuzzed format fields and sample data.
int fuzz_wav(const uint8_t* data, size_t size) {
    FuzzInput in{data, size};
    constexpr std::array<uint32_t, 4> TAGS = {1, 3, 6, 7}; // PCM, float, A-law, mu-law
    const uint32_t choice = take(in, 1);
    const uint32_t tag = choice < 4 * TAGS.size() ? TAGS[choice % TAGS.size()] : take(in, 2);
    const uint32_t channels = take(in, 1), rate = take(in, 4), byte_rate = take(in, 4);
    const uint32_t block_align = take(in, 2), bits = take(in, 2);
    const std::vector<uint8_t> samples = take_block(in, in.size);

    const WavFormat format = {.tag = static_cast<uint16_t>(tag),
                              .channels = static_cast<uint16_t>(channels),
                              .rate = rate,
                              .byte_rate = byte_rate,
                              .block_align = static_cast<uint16_t>(block_align),
                              .bits = static_cast<uint16_t>(bits)};
    std::string wav = wav_header(format, static_cast<uint32_t>(samples.size()));
    wav.append(samples.begin(), samples.end());

    ScratchFile file("sound.wav", wav.data(), wav.size());
    const Sound sound = load_wav(file.path.c_str());
    fuzz_check(sound.samples.size() == sound.length / 2, "sample count");
    fuzz_check(sound.length <= (1u << 28), "a quarter GiB at most, whatever the rate");
    // Through the mixer as the title plays it: queued, partly played, faded, dropped.
    empty_mixer();
    queue_sound(sound);
    fuzz_check(MIXER.count == sound.samples.size(), "queued");
    std::array<uint8_t, 4096> out;
    send_audio(nullptr, out.data(), static_cast<int>(out.size()));
    stop_sound();
    empty_mixer();
    return 0;
}
