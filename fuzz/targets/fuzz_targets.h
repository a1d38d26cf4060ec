// Fuzz targets for the game's loaders and for frames of play, shared by libFuzzer and the tests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Each takes one input and returns 0; a broken invariant aborts, so both harnesses see a crash.
int fuzz_map(const uint8_t* data, size_t size);
int fuzz_spawner(const uint8_t* data, size_t size);
int fuzz_title(const uint8_t* data, size_t size);
int fuzz_font(const uint8_t* data, size_t size);
int fuzz_wav(const uint8_t* data, size_t size);
int fuzz_play(const uint8_t* data, size_t size);

struct FuzzTarget {
    const char* name; // also the directory of its corpus and crashers
    int (*run)(const uint8_t* data, size_t size);
};

constexpr std::array<FuzzTarget, 6> FUZZ_TARGETS = {{{"map", fuzz_map},
                                                     {"spawner", fuzz_spawner},
                                                     {"title", fuzz_title},
                                                     {"font", fuzz_font},
                                                     {"wav", fuzz_wav},
                                                     {"play", fuzz_play}}};

// The input read front to back; reads past its end give zeros.
struct FuzzInput {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
};

// `bytes` (at most 4) as a little-endian number.
uint32_t take(FuzzInput& in, size_t bytes);
// Up to `count` bytes, fewer when the input ends first.
std::vector<uint8_t> take_block(FuzzInput& in, size_t count);

// SDL under the dummy drivers, a window, the software renderer and a plain font sheet, brought
// up once; no audio device, so sounds only queue.
void fuzz_start();

// A file in the temporary directory holding the given bytes, removed with the record.
struct ScratchFile {
    std::string path;
    ScratchFile(const char* name, const void* data, size_t size);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
};

// Aborts with a line naming the broken invariant.
void fuzz_check(bool holds, const char* what);
