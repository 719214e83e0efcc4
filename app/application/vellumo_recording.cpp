// The application's side of video recording: the record command's hooks, the recorder statistics in the
// status bar and the one message when a recording fails.
#include <cstdio>

#include "app/application/vellumo_app.h"
#include "app/mainframe/main_frame.h"
#include "app/resources/resource_library.h"
#include "capture/recording_status.h"
#include "platform/ui/prompt.h"

RecordingHooks CVellumoApp::RecordHooks() {
    RecordingHooks hooks;
    hooks.make_video_file_name = [this] {
        pipeline::NamingSettings naming;
        naming.save_path = m_szSavePath;
        naming.prefix = m_szPrefix;
        naming.video_format = m_nVideoFormat;
        return m_videoNaming.MakeVideoFileName(naming) ? m_videoNaming.m_szOutputFile : std::string();
    };
    hooks.update_status_text = [this] { UpdateStatusText(); };
    hooks.update_recording_status = [this](int final) { UpdateRecordingStatus(final); };
    hooks.report_failure = [this](const capture::CaptureEngine& engine, bool ended_early) {
        ReportRecordingFailure(engine, ended_early);
    };
    return hooks;
}

void CVellumoApp::UpdateRecordingStatus(int final) {
    std::optional<std::string> text = m_engine.RecordingStatusText(final, timeGetTime(), LoadResString);
    if (!text) return;
    m_szStatusText = *text;
    if (m_pMainFrame) m_pMainFrame->SetStatusText(m_szStatusText);
}

void CVellumoApp::ReportRecordingFailure(const capture::CaptureEngine& engine, bool ended_early) {
    const unsigned id = ended_early                                                ? 177
                        : engine.m_hrRecordResult == platform::REGDB_E_CLASSNOTREG ? 175
                                                                                   : 176;
    char text[600];
    std::snprintf(text, sizeof text, LoadResString(id).c_str(), engine.m_szVideoFile.c_str());
    platform::MessageBox(text, LoadResString(133), platform::MB_OK | platform::MB_ICONWARNING);
}
