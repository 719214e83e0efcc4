#include "outside/common/path_list.h"

namespace outside {

std::optional<std::vector<std::string>> SplitPathList(std::string_view list) {
    if (!list.empty() && list.back() == '*') list.remove_suffix(1);
    if (list.empty()) return std::nullopt;
    std::vector<std::string> paths;
    size_t start = 0;
    while (true) {
        size_t star = list.find('*', start);
        std::string_view entry =
            list.substr(start, star == std::string_view::npos ? std::string_view::npos : star - start);
        if (entry.empty()) return std::nullopt;
        paths.emplace_back(entry);
        if (star == std::string_view::npos) break;
        start = star + 1;
    }
    return paths;
}

}  // namespace outside
