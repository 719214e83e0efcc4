#pragma once
// The "*"-joined path lists the TIFF and PDF writers accept.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace outside {

// "a*b*c" or "a*b*c*" give {a, b, c}. Nothing for an empty list or an empty entry ("a**b", "*").
std::optional<std::vector<std::string>> SplitPathList(std::string_view list);

}  // namespace outside
