// The fuzz seeds, the committed corpus and every input that ever crashed, through their targets.
#include "fuzz_targets.h"
#include "shell/shell.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace fs = std::filesystem;

TEST(FuzzReplay, EverySavedInputRunsCleanThroughItsTarget) {
    const fs::path fuzz = fs::path(QUELTIVAR_SOURCE_DIR) / "fuzz";
    for (const FuzzTarget& target : FUZZ_TARGETS) {
        size_t kept = 0;      // seeds and corpus; crashes may be none
        std::error_code none; // a kind with no directory lists nothing
        for (const char* kind : {"seeds", "corpus", "crashes"})
            for (const auto& entry : fs::directory_iterator(fuzz / kind / target.name, none)) {
                std::ifstream file(entry.path(), std::ios::binary);
                const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
                // A broken invariant or a sanitizer report aborts.
                EXPECT_EQ(target.run(bytes.data(), bytes.size()), 0) << entry.path();
                kept += std::string(kind) != "crashes";
            }
        EXPECT_GT(kept, 0u) << target.name;
    }
    shut_down();
}
