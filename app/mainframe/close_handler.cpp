#include "app/mainframe/close_handler.h"

#include "platform/profile/profile_store.h"
#include "platform/ui/prompt.h"
#include "settings/settings.h"

bool RunCloseHandler(CVellumoSettings& settings, const StringLookup& strings, bool save_allowed,
                     const std::function<void()>& stop_recording) {
    using namespace platform;
    if (!settings.m_bNotRecording) {
        if (MessageBox(strings(155), strings(133), MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return false;
        if (stop_recording) stop_recording();
    }
    platform::CProfileStore store(settings.m_szIniPath);
    if (save_allowed && settings.SettingsChanged(store)) {
        if (MessageBox(strings(850), strings(133), MB_OKCANCEL | MB_ICONQUESTION) == IDOK)
            settings.SaveSettings(store);
    }
    return true;
}
