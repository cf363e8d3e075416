// The engine's modules (x.h and x.cpp together, under cipher/ and
// cipher/commands/) include each other without a cycle. A header whose name
// holds "detail" belongs to the modules that include it: what it includes,
// they include.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// "cipher/x" for cipher/x.h and cipher/x.cpp.
std::string ModuleOf(const std::string& path)
{
    return path.substr(0, path.rfind('.'));
}

bool IsDetail(const std::string& path)
{
    return path.find("detail") != std::string::npos;
}

// The "cipher/..." files each file includes.
std::map<std::string, std::vector<std::string>> Includes()
{
    std::map<std::string, std::vector<std::string>> includes;
    for (const char* folder : {"cipher", "cipher/commands"}) {
        for (const auto& entry : fs::directory_iterator(fs::path(MUS_SOURCE_DIR) / folder)) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".h" && ext != ".cpp") continue;
            const std::string name = std::string(folder) + "/" + entry.path().filename().string();
            std::ifstream in(entry.path());
            for (std::string line; std::getline(in, line);) {
                const std::string directive = "#include \"cipher/";
                if (line.rfind(directive, 0) == 0) includes[name].push_back(line.substr(10, line.rfind('"') - 10));
            }
            includes.try_emplace(name);
        }
    }
    return includes;
}

// Module -> modules it depends on, detail headers seen through.
std::map<std::string, std::set<std::string>> ModuleGraph()
{
    const auto includes = Includes();
    std::map<std::string, std::set<std::string>> graph;
    for (const auto& [file, _] : includes) {
        if (IsDetail(file)) continue;
        std::set<std::string>& edges = graph[ModuleOf(file)];
        std::vector<std::string> todo = includes.at(file);
        std::set<std::string> seen;
        while (!todo.empty()) {
            const std::string next = todo.back();
            todo.pop_back();
            if (!seen.insert(next).second) continue;
            if (IsDetail(next)) {
                if (includes.count(next)) todo.insert(todo.end(), includes.at(next).begin(), includes.at(next).end());
            } else if (ModuleOf(next) != ModuleOf(file)) {
                edges.insert(ModuleOf(next));
            }
        }
    }
    return graph;
}

// A cycle as "a -> b -> a", or empty.
std::string FindCycle(const std::map<std::string, std::set<std::string>>& graph)
{
    std::map<std::string, int> state; // 1: on the path, 2: done
    std::vector<std::string> path;
    std::string cycle;
    std::function<bool(const std::string&)> visit = [&](const std::string& node) {
        state[node] = 1;
        path.push_back(node);
        if (const auto it = graph.find(node); it != graph.end()) {
            for (const std::string& next : it->second) {
                if (state[next] == 1) {
                    for (auto p = std::find(path.begin(), path.end(), next); p != path.end(); ++p) cycle += *p + " -> ";
                    cycle += next;
                    return true;
                }
                if (state[next] == 0 && visit(next)) return true;
            }
        }
        path.pop_back();
        state[node] = 2;
        return false;
    };
    for (const auto& [node, _] : graph)
        if (state[node] == 0 && visit(node)) break;
    return cycle;
}

TEST(ModuleGraphTest, HasNoCycle)
{
    const auto graph = ModuleGraph();
    ASSERT_GT(graph.size(), 10u); // the sources were found
    EXPECT_EQ(FindCycle(graph), "");
}

TEST(ModuleGraphTest, FindsACycle)
{
    EXPECT_EQ(FindCycle({{"a", {"b"}}, {"b", {"c"}}, {"c", {"a"}}}), "a -> b -> c -> a");
}

} // namespace
