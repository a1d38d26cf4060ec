// The game's files: where they are, how they are opened, and how a failure is reported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Where the game's file `name` is: in assets/ of the working directory whenever there is such a
// folder (a source tree), otherwise in the data directory installed beside the executable.
std::string asset_path(const char* name);

// The one way a loader reports a file it cannot use: a line on standard error naming the
// file by its absolute path and the reason, exit status 1, and no further scene (STATE null).
// Loaders that run inside a scene also raise CHANGE_STATE themselves, as the scene contract asks.
void asset_failure(const char* path, const char* reason);

// `path` as the working directory makes it: what a user started elsewhere needs to see.
std::string absolute_path(const char* path);

struct FileCloser {
    void operator()(std::FILE* file) const;
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct AssetFile {
    File file;          // open for reading; null when the path is no file the game can read
    const char* reason; // then why, as a user should read it
};

// Only a regular file, or a link to one, is opened, and never in a way that waits: a FIFO
// without a writer would hold the game in its open for good.
AssetFile open_asset(const char* path);

// At most `limit` bytes of a file, raw; reported as above, with CHANGE_STATE raised, and empty
// when the file cannot be opened. A read error counts as the end of the file.
std::optional<std::vector<uint8_t>> read_asset(const char* path, size_t limit);
