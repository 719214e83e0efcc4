#pragma once
// The application object: it holds the settings record and the program's run-time state, starts the
// program (InitInstance), owns the About and Help commands, and ends it (ExitInstance).
// One object, theApp, for the whole process; its members are used from the GUI thread unless a field
// says otherwise (see CVellumoSettings).

#include <memory>
#include <string>

#include "app/application/settings_path.h"
#include "app/commands/view_commands.h"
#include "app/events/device_events.h"
#include "capture/capture_record.h"
#include "capture/recording.h"
#include "pipeline/capture/capture_session.h"
#include "pipeline/naming/file_naming.h"
#include "platform/sync/instance_channel.h"
#include "platform/sync/named_mutex.h"
#include "platform/window/window_messages.h"

class QApplication;
class QWidget;
class CMainFrame;
class CHandsFree;
class CVideoWidget;
struct SeriesContext;

constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_HELP_CONTENTS = 1024;
constexpr int ID_APP_EXIT = 1025;

class CVellumoApp : public CCaptureRecord, private capture::EngineObserver {
  public:
    CVellumoApp();
    ~CVellumoApp();

    // The start-up; false means the program ends at once (another copy runs, or the resource library is
    // missing). argc/argv must outlive the application.
    bool InitInstance(int& argc, char** argv);
    // Runs the event loop until the main window is gone; the process exit code.
    int Run();
    int ExitInstance();

    void OnAppAbout();
    void OnHelp();
    void UpdateStatusText();
    // The recorder statistics in the status bar; `final` nonzero for the summary at the stop.
    void UpdateRecordingStatus(int final);

    CMainFrame* MainFrame() const { return m_pMainFrame.get(); }
    const std::string& StatusText() const { return m_szStatusText; }
    const std::string& ProgramFolder() const { return m_szProgramFolder; }
    bool SettingsReadOnly() const { return m_location.read_only; }

    // The view's video window (the engine's m_pFrameTarget, where other threads post or send the frame's
    // messages, is set once the frame exists).
    CVideoWidget* VideoWidget() const { return m_pVideoWidget; }

    // The still-capture session; its frame handler reads it on the streaming thread, so it is set before
    // the handler is installed and reset after the handler is removed.
    pipeline::CaptureSession* CaptureSession() const { return m_pCaptureSession.get(); }
    // Command 800.
    void OnCapture();

  private:
    // The ribbon follows the graph at once (record button, preview-dependent commands), not at the next idle
    // refresh.
    void OnGraphStateChanged(capture::GraphState before, capture::GraphState now) override;
    void AddApplicationCommands();
    void AddFrameMessageHandlers();
    void StartCamera();
    // A later copy's knock brings the window to the front.
    void ListenForLaterCopies();
    void AddViewCommandTable();
    void FindOutsidePrograms();  // the OCR engine and the business-card programs
    void AddOcrCommands(ViewCommandServices& services);
    ViewCommandServices CameraServices();
    DeviceEventHooks EventHooks();
    // Recording (vellumo_recording.cpp): what the record command needs from the program.
    RecordingHooks RecordHooks();
    void ReportRecordingFailure(const capture::CaptureEngine& engine, bool ended_early);
    // Still capture (vellumo_capture.cpp).
    void StartCapturePipeline();
    void StopCapturePipeline();
    // Pictures an earlier run left behind go to the save folder, and the user is told.
    void SaveLeftoverPictures();
    SeriesContext CaptureContext();
    // A capture size the camera does not offer: the user is told once a size, and the status shows the
    // size the stills really have.
    void NoteCaptureSize(int width, int height);

    CVideoWidget* m_pVideoWidget = nullptr;  // owned by the view
    uint64_t m_nDeviceListener = 0;          // device arrivals reach the frame as WM_DEVICECHANGE
    std::unique_ptr<pipeline::CaptureSession> m_pCaptureSession;
    std::unique_ptr<CHandsFree> m_pHandsFree;  // the live outline and auto-capture
    bool m_bEndingOnSignal = false;            // SIGTERM or SIGINT: the window closes without its questions
    pipeline::CFileNaming m_videoNaming;       // the numbered names of recorded videos
    std::string m_szUnofferedSizeTold;         // "WxH" asked of the camera that it did not offer

    std::unique_ptr<platform::NamedMutex> m_instanceMutex;
    std::unique_ptr<platform::InstanceListener> m_instanceListener;
    int m_nRaisedByLaterCopies = 0;
    std::unique_ptr<QApplication> m_application;
    std::unique_ptr<CMainFrame> m_pMainFrame;
    std::string m_szProgramFolder;
    std::string m_szStatusText;
    SettingsLocation m_location;
};

extern CVellumoApp theApp;
