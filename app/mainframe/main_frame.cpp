#include "app/mainframe/main_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMoveEvent>
#include <QPixmap>
#include <QShortcut>
#include <QStatusBar>

#include "app/commands/accelerators.h"
#include "app/mainframe/status_text.h"
#include "app/resources/resource_library.h"
#include "app/ribbon/ribbon_bar.h"
#include "app/ribbon/ribbon_loader.h"
#include "app/view/vellumo_view.h"
#include "platform/debuglog/debuglog.h"
#include "platform/ui/qt_message_target.h"

namespace {

struct SchemeColours {
    const char* ribbon;  // ribbon background
    const char* tab;     // selected tab and panels
    const char* border;  // panel and frame lines
    const char* text;    // captions
    const char* status;  // status bar background
    const char* status_text;
};

SchemeColours Colours(LookScheme scheme) {
    switch (scheme) {
        case LookScheme::Black:
            return {"#3c3c3c", "#535353", "#1e1e1e", "#f0f0f0", "#2b2b2b", "#e8e8e8"};
        case LookScheme::Silver:
            return {"#e4e6ea", "#f4f5f7", "#a7abb3", "#202020", "#c9ccd2", "#202020"};
        case LookScheme::Aqua:
            return {"#cfe6e9", "#e6f4f5", "#7fb2b8", "#12393d", "#9fcdd2", "#12393d"};
        case LookScheme::Blue:
        default:
            return {"#c9daf0", "#e3edf9", "#8aa7cf", "#15345c", "#a8c2e4", "#15345c"};
    }
}

QString StyleSheet(LookScheme scheme) {
    const SchemeColours c = Colours(scheme);
    return QString(
               "#ribbon { background: %1; }"
               "#ribbonTabs::tab { background: %1; color: %4; padding: 3px 14px; border: 1px solid "
               "transparent; }"
               "#ribbonTabs::tab:selected { background: %2; border: 1px solid %3; border-bottom: none; }"
               "#ribbonPages, #ribbonPage { background: %2; }"
               "#ribbonPanel { background: %2; border-right: 1px solid %3; }"
               "#ribbonPanel QToolButton { color: %4; }"
               "#ribbonPanelTitle { color: %4; font-size: 8pt; }"
               "QStatusBar { background: %5; color: %6; }"
               "QStatusBar QLabel { color: %6; }"
               "#viewFrame { background: black; border: 3px solid %3; }")
        .arg(c.ribbon, c.tab, c.border, c.text, c.status, c.status_text);
}

QPixmap ResourceImage(unsigned id) {
    QPixmap image;
    if (ResourceLibrary* resources = AppResources()) {
        if (auto bytes = resources->FindResource(kResourceBitmap, id))
            image.loadFromData(reinterpret_cast<const uchar*>(bytes->data()),
                               static_cast<uint>(bytes->size()), "PNG");
    }
    if (image.isNull()) platform::DebugLog("ribbon", "image strip %u is missing; buttons show text only", id);
    return image;
}

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QString::fromStdString(LoadResString(133)));
    messages_ = std::make_unique<platform::QtMessageTarget>(
        [this](const platform::WindowMessage& message) { return OnMessage(message); });

    m_nAppLook = ReadAppLook();

    ribbon_bar_ =
        new CRibbonBar(commands_, ResourceImage(kRibbonSmallImages), ResourceImage(kRibbonLargeImages), this);
    ribbon_bar_->SetInvoke([this](int id) { OnCommand(id); });
    setMenuWidget(ribbon_bar_);

    // The view sits in a frame of the look's colour; the view paints the picture area itself.
    view_frame_ = new QWidget(this);
    view_frame_->setObjectName("viewFrame");
    view_frame_->setAttribute(Qt::WA_StyledBackground, true);
    auto* frame_layout = new QHBoxLayout(view_frame_);
    frame_layout->setContentsMargins(3, 3, 3, 3);
    view_ = new CVellumoView(view_frame_);
    view_->setObjectName("view");
    frame_layout->addWidget(view_);
    view_->installEventFilter(this);
    setCentralWidget(view_frame_);

    status_pane_ = new QLabel(QString::fromStdString(StatusPlaceholderText()), this);
    status_pane_->setObjectName("120");
    status_pane_->setToolTip(QString::fromStdString(LoadResString(122)));
    statusBar()->addWidget(status_pane_, 1);

    AddLookCommands();
    OnApplicationLook(m_nAppLook);
}

CMainFrame::~CMainFrame() { messages_->Close(); }

bool CMainFrame::OnCommand(int id) { return commands_.Execute(id); }

void CMainFrame::InstallAccelerators(const std::string& table) {
    for (const Accelerator& accelerator : ParseAccelerators(table)) {
        QKeySequence keys(QString::fromStdString(accelerator.keys), QKeySequence::PortableText);
        if (keys.isEmpty()) continue;
        auto* shortcut = new QShortcut(keys, this);  // owned by the frame
        int command = accelerator.command;
        connect(shortcut, &QShortcut::activated, this, [this, command] { OnCommand(command); });
    }
}

void CMainFrame::LoadRibbon(const std::string& xml) {
    RibbonLoadResult loaded = LoadRibbonLayout(xml, LoadResString);
    for (const std::string& error : loaded.errors) platform::DebugLog("ribbon", "layout %s", error.c_str());
    ribbon_layout_ = std::move(loaded.layout);
    RebuildRibbon();
}

void CMainFrame::RebuildRibbon() { ribbon_bar_->SetRibbonLayout(ribbon_layout_); }

void CMainFrame::SetStatusText(const std::string& text) {
    status_pane_->setText(QString::fromStdString(text));
    status_pane_->repaint();
}

std::string CMainFrame::StatusText() const { return status_pane_->text().toStdString(); }

void CMainFrame::SetVideoFitHandler(std::function<void(const VideoPlacement&)> handler) {
    fit_handler_ = std::move(handler);
    FitVideoWindow();
}

void CMainFrame::FitVideoWindow() {
    const VideoPlacement placement = FitVideoRect(view_->width(), view_->height());
    view_->SetVideoRect(
        Rect{placement.x, placement.y, placement.x + placement.width, placement.y + placement.height});
    if (fit_handler_) fit_handler_(placement);
}

void CMainFrame::AddLookCommands() {
    for (int id = kLookFirst; id <= kLookLast; ++id)
        commands_.Add(
            id, [this, id] { OnApplicationLook(id); },
            [this, id](CommandState& state) { state.SetRadio(m_nAppLook == id); });
}

void CMainFrame::OnApplicationLook(int id) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_nAppLook = id;
    scheme_ = SchemeForLook(id, scheme_);
    ApplyScheme();
    WriteAppLook(id);
    QApplication::restoreOverrideCursor();
}

void CMainFrame::ApplyScheme() {
    setStyleSheet(StyleSheet(scheme_));
    update();
}

platform::MessageTarget* CMainFrame::MessageTarget() const { return messages_.get(); }

void CMainFrame::CloseMessages() { messages_->Close(); }

void CMainFrame::SetMessageHandler(uint32_t message, std::function<intptr_t(uintptr_t, intptr_t)> handler) {
    message_handlers_[message] = std::move(handler);
}

intptr_t CMainFrame::OnMessage(const platform::WindowMessage& message) {
    auto it = message_handlers_.find(message.message);
    if (it == message_handlers_.end() || !it->second) {
        platform::DebugLog("frame", "message 0x%X (%lu, %ld) has no handler", message.message,
                           static_cast<unsigned long>(message.wparam), static_cast<long>(message.lparam));
        return 0;
    }
    return it->second(message.wparam, message.lparam);
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (sizing_handler_) sizing_handler_();
}

void CMainFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    const QPoint delta = event->pos() - event->oldPos();
    if (!delta.isNull()) view_->OnWindowMoved(delta.x(), delta.y());
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::Resize) FitVideoWindow();
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (close_handler_ && !close_handler_()) {
        event->ignore();
        return;
    }
    messages_->Close();
    event->accept();
    emit Closed();
}
