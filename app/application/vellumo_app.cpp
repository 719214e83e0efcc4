#include "app/application/vellumo_app.h"

#include <QApplication>
#include <QIcon>
#include <QLayout>
#include <QScreen>
#include <QSocketNotifier>
#include <cstdio>

#include "app/application/program_media.h"
#include "app/cameradlg/camera_dialogs.h"
#include "app/cards/card_commands.h"
#include "app/dialogs/base_setting_dlg.h"
#include "app/handsfree/hands_free.h"
#include "app/languagedlg/language_dialogs.h"
#include "app/mainframe/close_handler.h"
#include "app/mainframe/main_frame.h"
#include "app/mainframe/status_text.h"
#include "app/pagestrip/page_strip.h"
#include "app/propdlg/property_dialogs.h"
#include "app/resources/resource_library.h"
#include "app/ribbon/ribbon_bar.h"
#include "app/ribbon/ribbon_layout.h"
#include "app/script/script_runner.h"
#include "app/series/series_threads.h"
#include "app/settingdlg/setting_dlg.h"
#include "app/view/vellumo_view.h"
#include "app/view/video_widget.h"
#include "app/wait/gui_wait.h"
#include "capture/camera_controls.h"
#include "capture/capture_engine.h"
#include "capture/device_discovery.h"
#include "capture/preview_graph.h"
#include "device/facade/facade.h"
#include "media/device_changes.h"
#include "ocr/cards/card_programs.h"
#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"
#include "platform/files/folders.h"
#include "platform/process/process.h"
#include "platform/profile/profile_store.h"
#include "platform/sync/instance_channel.h"
#include "platform/ui/prompt.h"
#include "platform/ui/termination_signals.h"
#include "platform/ui/toolkit_prompt.h"
#include "virtualcam/virtual_camera.h"

CVellumoApp theApp;

CVellumoApp::CVellumoApp() = default;

CVellumoApp::~CVellumoApp() = default;

bool CVellumoApp::InitInstance(int& argc, char** argv) {
    // Only one copy runs; a second one brings the first one's window to the front and ends before anything
    // is shown or loaded. A mutex that cannot be made at all does not stop the program: only one held by
    // another copy does.
    m_instanceMutex = std::make_unique<platform::NamedMutex>("Vellumo");
    if (m_instanceMutex->Valid() && !m_instanceMutex->Lock(0)) {
        const bool knocked = platform::KnockOnRunningInstance("Vellumo");
        platform::DebugLog("app", "another copy is running%s",
                           knocked ? "; it was asked to come to the front" : "");
        return false;
    }

    m_szProgramFolder = platform::ProgramFolder();
    const std::string data_folder = platform::DataFolder();
    m_location = SettleSettingsPath(data_folder);
    m_szIniPath = m_location.working_path;
    platform::DebugLog("app", "settings file %s%s", m_szIniPath.c_str(),
                       m_location.fallback ? " (fallback)" : "");
    LoadSettings(platform::CProfileStore(m_szIniPath));

    m_szHelpPath = platform::JoinPath(data_folder, m_szHelpPath);

    if (m_szSavePath.empty()) {
        if (auto desktop = platform::DesktopFolder()) {
            m_szSavePath = platform::JoinPath(*desktop, "Vellumo/");
            platform::CreateFolderChain(
                m_szSavePath);  // a machine without a desktop session has no ~/Desktop yet
        }
    }
    platform::DebugLog("app", "save folder %s", m_szSavePath.c_str());

    ResolutionSize(m_nSetPreviewSize, m_nPreviewWidth, m_nPreviewHeight);
    ResolutionSize(m_nSetSize, m_nCaptureWidth, m_nCaptureHeight);
    FindOutsidePrograms();

    m_application = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName("Vellumo");
    QGuiApplication::setDesktopFileName(
        "org.vellumo.Vellumo");  // the desktop matches the window to its menu entry
    platform::InstallToolkitPrompts();
    // A logout, `kill` or Ctrl+C ends the program as closing it would, without its questions: the
    // recording is finished and the pages gathered so far stay on disk for the next start.
    platform::WatchTerminationSignals([this](int) {
        m_bEndingOnSignal = true;
        QCoreApplication::quit();  // closes the window first, through its close handler
    });
    if (const char* script = std::getenv("VELLUMO_SCRIPT"); script != nullptr && script[0] != '\0')
        platform::SetUnattended(true);

    auto resources = ResourceLibrary::LoadFrom(m_szProgramFolder);
    if (!resources) {
        platform::MessageBox("Can't find VellumoRes.dll.", "Error", platform::MB_OK | platform::MB_ICONHAND);
        return false;
    }
    SetAppResources(std::move(resources));

    m_pMainFrame = std::make_unique<CMainFrame>();
    if (auto layout = AppResources()->FindResource(kResourceRibbon, 307))
        m_pMainFrame->LoadRibbon(*layout);
    else
        platform::DebugLog("app", "the resource library has no ribbon layout 307");
    m_pHandsFree = std::make_unique<CHandsFree>(
        m_pMainFrame.get(), *this,
        CHandsFree::Hooks{
            [this] { return !m_pCaptureSession || m_pCaptureSession->Idle(); },
            [this] { UpdateStatusText(); },
            [this] { return m_pCaptureSession ? m_pCaptureSession->PagesKept() : uint64_t{0}; }});
    AddApplicationCommands();
    m_pHandsFree->AddCommands();
    AddFrameMessageHandlers();
    if (auto table = AppResources()->FindResource(kResourceAccelerator, 184))
        m_pMainFrame->InstallAccelerators(*table);

    // The window covers the screen's work area (the desktop less any panels) and cannot be maximised.
    m_pMainFrame->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    m_pMainFrame->show();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        // Qt sizes the inside of a window; its frame (title bar, borders) has to fit the work area as well.
        const QRect work = screen->availableGeometry();
        const QSize frame = m_pMainFrame->frameGeometry().size() - m_pMainFrame->size();
        m_pMainFrame->resize(work.size() - frame);
        m_pMainFrame->move(work.topLeft());
    }

    m_engine.m_pFrameTarget = m_pMainFrame->MessageTarget();
    platform::SetPromptWindow(m_engine.m_pFrameTarget);
    m_pMainFrame->setWindowIcon(QIcon(":/icons/vellumo.png"));
    m_pMainFrame->setWindowTitle("Vellumo");
    ListenForLaterCopies();

    StartCapturePipeline();
    // Beside the view: the gathered pages, for review before the document is written.
    m_pMainFrame->View()->parentWidget()->layout()->addWidget(new CPageStrip(
        CPageStrip::Hooks{[this] { return m_pCaptureSession ? &m_pCaptureSession->m_pages : nullptr; },
                          [this] { return m_bCaptureBusy == 0 && PagesWaitForNext(); },
                          [this](bool newest) {
                              if (newest) m_pHandsFree->RetakeNewest();
                          }},
        m_pMainFrame->View()->parentWidget()));
    StartCamera();

    if (AddRibbonControls(m_pMainFrame->Ribbon(), *this, LoadResString, AppResources() != nullptr))
        m_pMainFrame->RebuildRibbon();
    m_pMainFrame->update();

    // The camera's control link; without it no stored camera setting is sent.
    if (OpenControlLink(EventHooks()) != 0) m_pMainFrame->View()->m_bControlOpen = true;

    // The view's 300 ms timer: the capture area's marching border (and the recording statistics).
    m_pMainFrame->View()->StartTimer(300);

    if (m_bDevicePresent && m_pMainFrame->View()->m_bControlOpen) m_engine.ApplyCameraSettings();

    UpdateStatusText();
    m_bContinuousRunning = 0;
    SaveLeftoverPictures();

    if (ScriptRunner* script = ScriptRunner::StartFromEnvironment(m_pMainFrame.get(), m_pMainFrame.get())) {
        script->SetIdleCheck([this] { return m_pCaptureSession->Idle(); });
        script->SetRaisedCheck([this] { return m_nRaisedByLaterCopies > 0; });
        script->SetCapturedCount([this] { return m_pHandsFree->Captured(); });
    }
    return true;
}

void CVellumoApp::ListenForLaterCopies() {
    if (!m_instanceMutex->Valid()) return;  // without the lock, another copy may hold the socket
    m_instanceListener = platform::InstanceListener::Listen("Vellumo");
    if (!m_instanceListener) return;
    auto* notifier =
        new QSocketNotifier(m_instanceListener->Descriptor(), QSocketNotifier::Read, m_pMainFrame.get());
    QObject::connect(notifier, &QSocketNotifier::activated, m_pMainFrame.get(), [this] {
        if (m_instanceListener->TakeKnocks() == 0) return;
        platform::DebugLog("app", "a later copy asked for the window");
        ++m_nRaisedByLaterCopies;
        if (m_pMainFrame->isMinimized()) m_pMainFrame->showNormal();
        m_pMainFrame->raise();
        m_pMainFrame->activateWindow();
    });
}

void CVellumoApp::StartCamera() {
    // The virtual camera joins the system's devices before discovery, when the environment asks for it.
    if (virtualcam::AttachFromEnvironment() != nullptr) platform::DebugLog("app", "virtual camera attached");
    m_engine.m_pMediaFactory = CreateProgramMediaFactory();
    m_pVideoWidget = new CVideoWidget(m_pMainFrame->View());  // owned by the view
    m_engine.m_pCaptureView = m_pVideoWidget;
    m_engine.SetObserver(this);
    m_pVideoWidget->SetFrameTap(
        [hands_free = m_pHandsFree.get()](std::shared_ptr<const platform::PreviewFrame> frame) {
            hands_free->OnPreviewFrame(std::move(frame));
        });

    m_engine.FindCameraDevice();
    if (!m_bDevicePresent) {
        platform::MessageBox(LoadResString(132), LoadResString(133),
                             platform::MB_ICONWARNING | platform::MB_TASKMODAL);
        m_bNoCameraWarned = 1;
    }
    if (m_bDevicePresent) {
        m_engine.BindCameraDevices();
        if (m_nBrightness >= 0 && m_nBrightness <= 256) m_engine.SetBrightness(m_nBrightness);
        if (m_nContrast >= 0 && m_nContrast <= 31) m_engine.SetContrast(m_nContrast);
    }
    if (m_nSetSize >= 0 && m_bDevicePresent && m_engine.m_pVideoConfig != nullptr)
        m_engine.RestartPreview(m_nPreviewWidth, m_nPreviewHeight);
}

ViewCommandServices CVellumoApp::CameraServices() {
    ViewCommandServices services;
    services.set_brightness = [this](long v) { m_engine.SetBrightness(v); };
    services.set_contrast = [this](long v) { m_engine.SetContrast(v); };
    services.set_focus_auto = [this] { m_engine.SetFocusAuto(); };
    services.get_focus_position = [this] { return m_engine.GetFocusPosition(); };
    services.set_focus_position = [this](long v) { m_engine.SetFocusPosition(v); };
    services.read_focus = [this](long* value, long* flags) {
        platform::CameraControl* control =
            m_engine.m_pVideoCapture ? m_engine.m_pVideoCapture->QueryCameraControl() : nullptr;
        return control != nullptr &&
               control->Get(platform::CameraControlProperty::Focus, value, flags) == platform::S_OK;
    };
    services.set_iris_auto = [this] { m_engine.SetIrisAuto(); };
    services.set_iris_value = [this](long v) { m_engine.SetIrisValue(v); };
    services.set_backlight_compensation = [this](long v) { m_engine.SetBacklightCompensation(v); };
    services.apply_frequency_mode = [](int mode) { ApplyFrequencyMode(mode); };
    services.apply_orientation_flip = [] { ApplyOrientationFlip(); };
    services.write_register = [](unsigned reg, unsigned width, unsigned value) {
        uint32_t v = value;
        devctl::CamWriteRegister(static_cast<uint8_t>(reg), static_cast<uint8_t>(width), &v);
    };
    services.control_open = [this] { return m_pMainFrame && m_pMainFrame->View()->m_bControlOpen; };
    services.open_folder = [](const std::string& folder) { platform::OpenWithDesktop(folder); };
    services.refresh = [this] { UpdateStatusText(); };
    services.strings = LoadResString;
    return services;
}

void CVellumoApp::OnGraphStateChanged(capture::GraphState, capture::GraphState) {
    if (m_pMainFrame != nullptr && m_pMainFrame->RibbonBar() != nullptr)
        m_pMainFrame->RibbonBar()->RefreshCommands();
}

DeviceEventHooks CVellumoApp::EventHooks() {
    DeviceEventHooks hooks;
    hooks.wait = WaitPainting;
    hooks.poll = PollPainting;
    hooks.control_open = [this] { return m_pMainFrame->View()->m_bControlOpen; };
    hooks.set_control_open = [this](bool open) { m_pMainFrame->View()->m_bControlOpen = open; };
    hooks.refresh_window_handles = [this] { m_engine.m_pFrameTarget = m_pMainFrame->MessageTarget(); };
    hooks.repaint_frame = [this] {
        // The camera has gone: the view stays empty until it returns rather than freezing its last frame.
        if (m_pVideoWidget != nullptr && !m_engine.Previewing()) m_pVideoWidget->Present(nullptr);
        m_pMainFrame->update();
    };
    hooks.ask_yes = [](unsigned text, unsigned caption) {
        return platform::MessageBox(LoadResString(text), LoadResString(caption), platform::MB_YESNO) ==
               platform::IDYES;
    };
    hooks.set_hand_over_target = [this](int target) { m_pCaptureSession->m_nHandOverTarget = target; };
    hooks.prepare_capture = CaptureContext().prepare;
    hooks.recording_failed = [this] { m_engine.RecordingFailed(RecordHooks()); };
    hooks.link_refused = [] {
        platform::MessageBox(LoadResString(186), LoadResString(133),
                             platform::MB_OK | platform::MB_ICONINFORMATION);
    };
    hooks.preview_failed = [](const std::string& error_text) {
        char text[1024];
        std::snprintf(text, sizeof text, LoadResString(185).c_str(), error_text.c_str());
        platform::MessageBox(text, LoadResString(133), platform::MB_OK | platform::MB_ICONWARNING);
    };
    hooks.keep_capture_size = [this] { return m_pHandsFree && m_pHandsFree->KeepsCaptureSize(); };
    return hooks;
}

void CVellumoApp::AddViewCommandTable() {
    ViewCommandServices services = CameraServices();
    const ViewCommandServices camera = services;
    QWidget* frame = m_pMainFrame.get();
    services.handlers[844] = [this, camera, frame] { CSettingBRIDlg(*this, camera, frame).DoModal(); };
    services.handlers[1043] = [this, camera, frame] { CSettingFocusDlg(*this, camera, frame).DoModal(); };
    services.handlers[1053] = [this, camera, frame] { CExposureDlg(*this, camera, frame).DoModal(); };
    services.handlers[1025] = [this] { m_pMainFrame->close(); };
    services.handlers[800] = [this] {
        m_pHandsFree->SetCaptureCommand(800);
        OnCapture();
    };
    services.handlers[1021] = [this] {
        m_pHandsFree->SetCaptureCommand(1021);
        CaptureAtCaptureResolution(*this, EventHooks(), false);
    };
    services.handlers[1069] = [this] {
        m_pHandsFree->SetCaptureCommand(1069);
        CaptureAtCaptureResolution(*this, EventHooks(), true);
    };
    services.handlers[1030] = [this] {
        if (!m_engine.Recording()) m_pHandsFree->ReleaseStream();  // a recording runs at the preview size
        m_engine.RecordCommand(RecordHooks());
    };
    AddOcrCommands(services);
    AddViewCommands(m_pMainFrame->Commands(), *this, std::move(services));
    ocr::AddCardProgramCommands(m_pMainFrame->Commands(), *this, ocr::TheExternalPrograms(),
                                m_szProgramFolder);
}

void CVellumoApp::FindOutsidePrograms() {
    ocr::FindOutsidePrograms(*this, ocr::TheExternalPrograms(), m_szProgramFolder);
}

void CVellumoApp::AddOcrCommands(ViewCommandServices& services) {
    services.handlers[818] = [this] { CFineReaderLanguage(*this, m_pMainFrame->View()).DoModal(); };
    services.handlers[1086] = [this] {
        if (m_nCardProgram == 0)
            CZorvexLanguage(*this, m_pMainFrame->View()).DoModal();
        else if (m_nCardProgram == 1)
            CZorvex6Language(*this, m_pMainFrame->View()).DoModal();
    };
}

void CVellumoApp::AddApplicationCommands() {
    CommandTable& commands = m_pMainFrame->Commands();
    commands.Add(ID_APP_ABOUT, [this] { OnAppAbout(); });
    commands.Add(ID_HELP_CONTENTS, [this] { OnHelp(); });
    AddViewCommandTable();
    // The save-folder dialog and the video property commands bring their own handlers and rules.
    AddSaveFolderCommand(commands, *this, m_pMainFrame.get());
    AddVideoCommands(commands, *this, m_pMainFrame.get(), [this] { UpdateStatusText(); });
    m_pMainFrame->SetCloseHandler([this] {
        auto stop_recording = [this] { m_engine.ToggleRecording(RecordHooks()); };
        if (m_bEndingOnSignal) {
            // Nobody is there to answer: the recording is finished, changed settings stay unsaved.
            if (!m_bNotRecording) stop_recording();
            return true;
        }
        return RunCloseHandler(*this, LoadResString, !m_location.read_only, stop_recording);
    });
}

void CVellumoApp::AddFrameMessageHandlers() {
    // Resizing refreshes the summary, as the window always has.
    m_pMainFrame->SetSizingHandler([this] { UpdateStatusText(); });
    // The live picture follows the view's 4:3 area whenever a video window exists.
    m_pMainFrame->SetVideoFitHandler([this](const VideoPlacement&) {
        if (m_engine.m_pVideoWindow != nullptr) m_engine.FitVideoWindow();
    });
    m_pMainFrame->SetMessageHandler(platform::WM_GRAPHNOTIFY, [this](uintptr_t, intptr_t) {
        OnGraphNotify(*this, EventHooks());
        return intptr_t{0};
    });
    m_pMainFrame->SetMessageHandler(platform::WM_CAPTUREDONE, [this](uintptr_t, intptr_t) {
        m_pHandsFree->OnCaptureDone();
        OnCaptureDone(*this, EventHooks());
        return intptr_t{0};
    });
    m_pMainFrame->SetMessageHandler(platform::WM_DEVICECHANGE, [this](uintptr_t event, intptr_t) {
        OnDeviceChange(*this, EventHooks(), event);
        return intptr_t{0};
    });
    // Video devices arriving (udev, or the virtual camera plugged back) reach the frame as device changes.
    platform::MessageTarget* frame = m_pMainFrame->MessageTarget();
    m_nDeviceListener = platform::AddDeviceChangeListener([frame](const platform::DeviceChange& change) {
        if (change.arrived)
            platform::PostMessage(frame, platform::WM_DEVICECHANGE, platform::DBT_DEVICEARRIVAL);
    });
    m_pMainFrame->View()->SetInputs(ViewInputs{
        [this] { return m_bDevicePresent != 0; },
        [this] { return m_bContinuousFile != 0; },
        [this] { return m_bContinuousRunning != 0; },
        [this] { return m_engine.Recording(); },
        [this](int final) { UpdateRecordingStatus(final); },
    });
}

int CVellumoApp::Run() {
    // Closing the main window ends the program, whatever other windows are open.
    QObject::connect(m_pMainFrame.get(), &CMainFrame::Closed, m_application.get(), &QApplication::quit,
                     Qt::QueuedConnection);
    return m_application->exec();
}

int CVellumoApp::ExitInstance() {
    if (m_nDeviceListener != 0) platform::RemoveDeviceChangeListener(m_nDeviceListener);
    m_nDeviceListener = 0;
    // Threads still waiting on the window (a hand-over's message) are let go before they are waited for.
    platform::SetPromptWindow(nullptr);
    if (m_pMainFrame) m_pMainFrame->CloseMessages();
    // The engine ends while the view that shows its video still exists; no frame reaches the capture
    // session after it. The ribbon no longer follows it.
    m_engine.SetObserver(nullptr);
    m_engine.ShutdownEngine();
    m_pHandsFree.reset();  // no frame reaches its worker after the engine
    StopCapturePipeline();
    m_engine.m_pMediaFactory.reset();  // its device watch ends here, not at process exit
    m_engine.m_pCaptureView = nullptr;
    m_pVideoWidget = nullptr;
    m_engine.m_pFrameTarget = nullptr;
    m_pMainFrame.reset();
    m_instanceListener.reset();  // its watcher went with the frame
    SetAppResources(std::nullopt);
    m_application.reset();
    return 0;
}

void CVellumoApp::OnAppAbout() {
    // Modal over the frame without blocking the event loop, so timers and the live picture go on.
    auto* about = new CAbout(m_pMainFrame.get());  // deletes itself on close
    about->OpenModal();
}

void CVellumoApp::OnHelp() { platform::OpenWithDesktop(m_szHelpPath); }

void CVellumoApp::UpdateStatusText() {
    std::string text = BuildStatusText(*this, g_nImageFormat, LoadResString);
    if (text != m_szStatusText) platform::DebugLog("app", "status: %s", text.c_str());
    m_szStatusText = std::move(text);
    // Auto-capture's word on what it waits for comes first.
    const std::string hands_free = m_pHandsFree ? m_pHandsFree->StatusText() : std::string();
    if (m_pMainFrame)
        m_pMainFrame->SetStatusText(hands_free.empty() ? m_szStatusText
                                                       : hands_free + "  |  " + m_szStatusText);
}
