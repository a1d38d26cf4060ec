// The fuzz seeds, the committed corpus and every input that ever crashed, through their targets.
#include "fuzz_targets.h"
#include "shell/shell.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace {
namespace fs = std::filesystem;

// Each input of one directory through `target`; a broken invariant or a sanitizer report aborts.
size_t replay(const FuzzTarget& target, const fs::path& dir) {
    if (!fs::exists(dir)) return 0;
    size_t count = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        std::ifstream file(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
        SCOPED_TRACE(entry.path().string());
        EXPECT_EQ(target.run(bytes.data(), bytes.size()), 0);
        count++;
    }
    return count;
}
} // namespace

TEST(FuzzReplay, EverySeedCorpusInputAndOldCrasherRunsCleanThroughItsTarget) {
    const fs::path fuzz = fs::path(QUELTIVAR_SOURCE_DIR) / "fuzz";
    for (const FuzzTarget& target : FUZZ_TARGETS) {
        const size_t inputs = replay(target, fuzz / "seeds" / target.name) +
                              replay(target, fuzz / "corpus" / target.name);
        EXPECT_GT(inputs, 0u) << target.name;
        replay(target, fuzz / "crashes" / target.name);
    }
    shut_down();
}
