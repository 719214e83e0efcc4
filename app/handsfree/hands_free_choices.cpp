#include "app/handsfree/hands_free_choices.h"

#include <algorithm>
#include <iterator>

#include "platform/debuglog/debuglog.h"
#include "platform/registry/registry.h"

namespace handsfree {
namespace {

// Beside the look (app_look.cpp).
constexpr const char* kWorkspaceKey = "Software\\Local AppWizard-Generated Applications\\Vellumo\\Workspace";
constexpr auto kUser = platform::RegistryHive::CurrentUser;

}  // namespace

Choices ReadChoices() {
    Choices choices;
    choices.live_outline = platform::RegistryReadDword(kUser, kWorkspaceKey, "LiveOutline").value_or(0) != 0;
    choices.auto_capture = platform::RegistryReadDword(kUser, kWorkspaceKey, "AutoCapture").value_or(0) != 0;
    const int still = static_cast<int>(
        platform::RegistryReadDword(kUser, kWorkspaceKey, "StillTime").value_or(kDefaultStillMs));
    if (std::find(std::begin(kStillTimesMs), std::end(kStillTimesMs), still) != std::end(kStillTimesMs))
        choices.still_ms = still;
    return choices;
}

bool WriteChoices(const Choices& choices) {
    const bool written =
        platform::RegistryWriteDword(kUser, kWorkspaceKey, "LiveOutline", choices.live_outline ? 1 : 0) &&
        platform::RegistryWriteDword(kUser, kWorkspaceKey, "AutoCapture", choices.auto_capture ? 1 : 0) &&
        platform::RegistryWriteDword(kUser, kWorkspaceKey, "StillTime",
                                     static_cast<uint32_t>(choices.still_ms));
    if (!written) platform::DebugLog("handsfree", "cannot keep the hands-free choices for the next start");
    return written;
}

}  // namespace handsfree
