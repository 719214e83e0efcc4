#pragma once
// The single top-level window: the view in the middle, a one-pane status bar (pane 120) with the settings
// summary, commands routed through its command table, and the close handler run before it goes.
// GUI thread only.

#include <QMainWindow>
#include <functional>
#include <string>

#include "app/commands/command_table.h"

class QLabel;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);

    CommandTable& Commands() { return commands_; }
    // Runs a command of the table; false when it does not exist or is disabled.
    bool OnCommand(int id);

    // Binds the accelerators of a table in the resource library's text form.
    void InstallAccelerators(const std::string& table);

    void SetStatusText(const std::string& text);
    std::string StatusText() const;

    QWidget* View() const { return view_; }

    // Decides whether the window may close; without one it always may.
    void SetCloseHandler(std::function<bool()> handler) { close_handler_ = std::move(handler); }

signals:
    // The window has agreed to close.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CommandTable commands_;
    QWidget* view_ = nullptr;
    QLabel* status_pane_ = nullptr;
    std::function<bool()> close_handler_;
};
