// The source tree's layers: no part of the program reaches, through its includes, back to itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;

// A part is a subsystem's folder, whose modules may name each other (title and play start one
// another).
std::string part(const fs::path& module) {
    return module.parent_path().generic_string();
}

// An edge is a quoted include in a header or source of the part.
std::map<std::string, std::set<std::string>> part_includes(const fs::path& src) {
    const std::regex include_line(R"(^\s*#\s*include\s*"([^"]+)\.h")");
    std::map<std::string, std::set<std::string>> graph;
    for (const auto& entry : fs::recursive_directory_iterator(src)) {
        const fs::path& path = entry.path();
        if (path.extension() != ".h" && path.extension() != ".cpp") continue;
        const std::string from = part(fs::relative(path, src).replace_extension());
        auto& edges = graph[from];
        std::ifstream file(path);
        std::smatch match;
        for (std::string line; std::getline(file, line);)
            if (std::regex_search(line, match, include_line))
                if (const std::string to = part(match[1].str()); to != from) edges.insert(to);
    }
    return graph;
}

// The first cycle found, as the parts along it; empty when there is none.
std::vector<std::string> find_cycle(const std::map<std::string, std::set<std::string>>& graph) {
    enum Mark { UNSEEN, OPEN, DONE };
    std::map<std::string, Mark> marks;
    std::vector<std::string> path;
    std::vector<std::string> cycle;
    auto visit = [&](auto& self, const std::string& node) -> void {
        marks[node] = OPEN;
        path.push_back(node);
        if (const auto found = graph.find(node); found != graph.end())
            for (const std::string& next : found->second) {
                if (!cycle.empty()) return;
                if (marks[next] == OPEN) {
                    cycle.assign(std::find(path.begin(), path.end(), next), path.end());
                    cycle.push_back(next);
                    return;
                }
                if (marks[next] == UNSEEN) self(self, next);
            }
        path.pop_back();
        marks[node] = DONE;
    };
    for (const auto& [node, edges] : graph)
        if (cycle.empty() && marks[node] == UNSEEN) visit(visit, node);
    return cycle;
}

std::string joined(const std::vector<std::string>& nodes) {
    std::string text;
    for (const std::string& node : nodes) text += (text.empty() ? "" : " -> ") + node;
    return text;
}
} // namespace

TEST(Layers, EveryIncludePointsDownSoNoPartReachesBackToItself) {
    // The check itself finds a cycle two parts make, and one through a third.
    EXPECT_EQ(find_cycle({{"a", {"b"}}, {"b", {"a"}}}).size(), 3u);
    EXPECT_EQ(joined(find_cycle({{"a", {"b"}}, {"b", {"c"}}, {"c", {"a"}}})), "a -> b -> c -> a");
    EXPECT_TRUE(find_cycle({{"a", {"b", "c"}}, {"b", {"c"}}, {"c", {}}}).empty());

    const auto graph = part_includes(fs::path(QUELTIVAR_SOURCE_DIR) / "src");
    ASSERT_TRUE(graph.contains("shell"));
    ASSERT_TRUE(graph.at("shell").contains("scenes")) << "the graph is read";
    EXPECT_EQ(joined(find_cycle(graph)), "");
}
