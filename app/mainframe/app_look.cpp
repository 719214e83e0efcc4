#include "app/mainframe/app_look.h"

#include "platform/debuglog/debuglog.h"
#include "platform/registry/registry.h"

namespace {
// Where the framework's workspace settings of this program have always been kept.
constexpr const char* kWorkspaceKey = "Software\\Local AppWizard-Generated Applications\\Vellumo\\Workspace";
constexpr const char* kLookValue = "ApplicationLook";
}  // namespace

LookScheme SchemeForLook(int look_id, LookScheme current) {
    switch (look_id) {
        case 215:
            return LookScheme::Blue;
        case 216:
            return LookScheme::Black;
        case 217:
            return LookScheme::Silver;
        case 218:
            return LookScheme::Aqua;
        default:
            return current;
    }
}

int ReadAppLook() {
    auto stored = platform::RegistryReadDword(platform::RegistryHive::CurrentUser, kWorkspaceKey, kLookValue);
    if (!stored) return kLookDefault;
    if (*stored < static_cast<uint32_t>(kLookFirst) || *stored > static_cast<uint32_t>(kLookLast)) {
        platform::DebugLog("look", "stored look %u is not a look command; using %d", *stored, kLookDefault);
        return kLookDefault;
    }
    return static_cast<int>(*stored);
}

bool WriteAppLook(int look_id) {
    bool written = platform::RegistryWriteDword(platform::RegistryHive::CurrentUser, kWorkspaceKey,
                                                kLookValue, static_cast<uint32_t>(look_id));
    if (!written)
        platform::DebugLog("look", "cannot write %s",
                           platform::RegistryHivePath(platform::RegistryHive::CurrentUser).c_str());
    return written;
}
