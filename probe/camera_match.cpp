#include "probe/camera_match.h"

namespace probe {
namespace {

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Upper-cased copy, sized to the text, so a path longer than any fixed buffer is searched whole.
std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) c = AsciiUpper(c);
    return upper;
}

}  // namespace

bool PathNamesCamera(std::string_view path, std::string_view identity) {
    return Upper(path).find(Upper(identity)) != std::string::npos;
}

bool AnyPathNamesCamera(const std::vector<std::string>& paths, std::string_view identity) {
    bool found = false;
    for (const std::string& path : paths) found = PathNamesCamera(path, identity) || found;
    return found;
}

}  // namespace probe
