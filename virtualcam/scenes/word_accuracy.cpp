#include "virtualcam/scenes/word_accuracy.h"

#include <cctype>
#include <map>
#include <sstream>

namespace virtualcam {

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string w; in >> w;) {
        std::string clean;
        for (char c : w)
            if (std::isalnum(static_cast<unsigned char>(c))) clean += static_cast<char>(std::tolower(c));
        if (!clean.empty()) words.push_back(clean);
    }
    return words;
}

double WordAccuracy(const std::vector<std::string>& expected, const std::string& recognised) {
    std::map<std::string, int> seen;
    for (const std::string& w : Words(recognised)) ++seen[w];
    int found = 0;
    for (const std::string& w : expected)
        if (seen[w] > 0) {
            --seen[w];
            ++found;
        }
    return expected.empty() ? 0 : static_cast<double>(found) / expected.size();
}

}  // namespace virtualcam
