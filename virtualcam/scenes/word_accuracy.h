#pragma once
// How much of a scene's printed text a recognised text holds: the words (letters and digits only, lower
// case) and the share of the expected words found, each recognised word counting once.

#include <string>
#include <vector>

namespace virtualcam {

std::vector<std::string> Words(const std::string& text);
// 0 to 1; 0 when nothing is expected.
double WordAccuracy(const std::vector<std::string>& expected, const std::string& recognised);

}  // namespace virtualcam
