#pragma once
// Whether a list of device paths names the camera.

#include <string>
#include <string_view>
#include <vector>

namespace probe {

// The shipped camera's identity as stored: lower case, as it appears in the program's device paths.
inline constexpr const char kCameraIdentity[] = "vid_eb1a&pid_2d80";

// True when identity occurs anywhere in path, letters compared without regard to case. Only ASCII
// letters are folded, so the host program's locale cannot change the answer. Paths of any length.
bool PathNamesCamera(std::string_view path, std::string_view identity);

// True when at least one path does.
bool AnyPathNamesCamera(const std::vector<std::string>& paths, std::string_view identity);

}  // namespace probe
