#include "app/mainframe/main_frame.h"

#include <QCloseEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPalette>
#include <QShortcut>
#include <QStatusBar>

#include "app/commands/accelerators.h"
#include "app/mainframe/status_text.h"
#include "app/resources/resource_library.h"

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QString::fromStdString(LoadResString(133)));

    // The live picture area; the preview view takes its place.
    view_ = new QWidget(this);
    view_->setObjectName("view");
    view_->setAutoFillBackground(true);
    QPalette palette = view_->palette();
    palette.setColor(QPalette::Window, Qt::black);
    view_->setPalette(palette);
    setCentralWidget(view_);

    status_pane_ = new QLabel(QString::fromStdString(StatusPlaceholderText()), this);
    status_pane_->setObjectName("120");
    status_pane_->setToolTip(QString::fromStdString(LoadResString(122)));
    statusBar()->addWidget(status_pane_, 1);
}

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

void CMainFrame::SetStatusText(const std::string& text) {
    status_pane_->setText(QString::fromStdString(text));
    status_pane_->repaint();
}

std::string CMainFrame::StatusText() const { return status_pane_->text().toStdString(); }

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (close_handler_ && !close_handler_()) {
        event->ignore();
        return;
    }
    event->accept();
    emit Closed();
}
