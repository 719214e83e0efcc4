#pragma once
// Where the device-control link finds its outside parts. The program uses the defaults; tests point
// them at the build and at temporary folders.

#include <optional>
#include <string>

namespace devctl {

struct FacadeConfig {
    std::string componentFolder;   // folder of "emxunit.dll"; empty = the program folder
    std::string installerFolder;   // folder of "Install_UvcCtrl.exe"; empty = the current folder
    std::optional<bool> elevated;  // whether the process may register the component itself; unset = euid 0
};

void SetFacadeConfig(const FacadeConfig& config);
const FacadeConfig& GetFacadeConfig();

}  // namespace devctl
