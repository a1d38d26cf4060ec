// Where the game's files are, and the one way their failures are reported.
#include "platform/assets.h"

#include "platform/platform.h"

#include <SDL.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr const char* LOCAL_ASSETS = "assets/";

// Found from the executable, so that an installed tree still works once moved to another
// prefix; empty when SDL cannot tell where the executable is.
const std::string& installed_assets() {
    static const std::string dir = [] {
        char* base = SDL_GetBasePath();
        std::string path;
        if (base)
            path = (std::filesystem::path(base) / QUELTIVAR_DATA_FROM_GAME "/").lexically_normal();
        SDL_free(base);
        return path;
    }();
    return dir;
}

bool has_local_assets() {
    std::error_code ignored;
    return std::filesystem::is_directory(LOCAL_ASSETS, ignored);
}

// A file missing from the installed data directory was first looked for in the working directory.
std::string also_looked(const char* path) {
    const std::string& installed = installed_assets();
    if (installed.empty() || std::string_view(path).rfind(installed, 0) != 0) return "";
    std::error_code ignored;
    const auto local = std::filesystem::current_path(ignored) / LOCAL_ASSETS;
    return " (looked first for a folder " + local.string() + ", then in " + installed + ")";
}
} // namespace

std::string asset_path(const char* name) {
    if (has_local_assets() || installed_assets().empty()) return LOCAL_ASSETS + std::string(name);
    return installed_assets() + name;
}

void asset_failure(const char* path, const char* reason) {
    std::fprintf(stderr, "queltivar: cannot load %s: %s%s\n", absolute_path(path).c_str(), reason,
                 also_looked(path).c_str());
    EXIT_STATUS = 1;
    STATE = nullptr;
}

std::string absolute_path(const char* path) {
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? path : full.lexically_normal().string();
}

void FileCloser::operator()(std::FILE* file) const {
    std::fclose(file);
}

namespace {
const char* not_regular(mode_t mode) {
    if (S_ISDIR(mode)) return std::strerror(EISDIR);
    if (S_ISFIFO(mode)) return "not a regular file (a FIFO)";
    if (S_ISCHR(mode)) return "not a regular file (a character device)";
    if (S_ISBLK(mode)) return "not a regular file (a block device)";
    if (S_ISSOCK(mode)) return "not a regular file (a socket)";
    return S_ISREG(mode) ? nullptr : "not a regular file";
}
} // namespace

AssetFile open_asset(const char* path) {
    // Looked at before it is opened, since opening a device can itself do something.
    struct stat status;
    if (stat(path, &status) != 0) return {nullptr, std::strerror(errno)};
    if (const char* reason = not_regular(status.st_mode)) return {nullptr, reason};
    // Non-blocking and checked again once open, in case the path changed in between.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return {nullptr, std::strerror(errno)};
    const char* reason =
        fstat(fd, &status) != 0 ? std::strerror(errno) : not_regular(status.st_mode);
    if (reason || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        if (!reason) reason = std::strerror(errno);
        close(fd);
        return {nullptr, reason};
    }
    File file(fdopen(fd, "rb"));
    if (!file) {
        reason = std::strerror(errno);
        close(fd);
        return {nullptr, reason};
    }
    return {std::move(file), nullptr};
}

std::optional<std::vector<uint8_t>> read_asset(const char* path, size_t limit) {
    AssetFile asset = open_asset(path);
    if (!asset.file) {
        asset_failure(path, asset.reason);
        CHANGE_STATE = 1;
        return std::nullopt;
    }
    // As much as the file holds, not the limit: a wave script may be read up to 850 KB.
    struct stat status;
    const bool sized = fstat(fileno(asset.file.get()), &status) == 0;
    std::vector<uint8_t> bytes(sized ? std::min(limit, static_cast<size_t>(status.st_size))
                                     : limit);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), asset.file.get()));
    return bytes;
}
