#include "app/commands/accelerators.h"

#include <charconv>
#include <sstream>

std::vector<Accelerator> ParseAccelerators(const std::string& table) {
    std::vector<Accelerator> accelerators;
    std::istringstream lines(table);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t eq = line.rfind('=');
        if (eq == std::string::npos || eq == 0) continue;
        Accelerator accelerator;
        accelerator.keys = line.substr(0, eq);
        const char* first = line.data() + eq + 1;
        const char* last = line.data() + line.size();
        auto [end, ec] = std::from_chars(first, last, accelerator.command);
        if (ec != std::errc() || end != last || accelerator.command <= 0) continue;
        accelerators.push_back(accelerator);
    }
    return accelerators;
}
