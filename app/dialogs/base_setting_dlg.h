#pragma once
// The common base of the program's dialogs: built from a dialog template of the resource library (a .ui
// layout whose controls are named by their numeric IDs), with tooltips. Buttons named "1" (OK) and "2"
// (Cancel) close the dialog with that result unless a subclass connects them itself.
// GUI thread only.

#include <QDialog>
#include <QString>

class CBaseSettingDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CBaseSettingDlg(unsigned template_id, QWidget* parent = nullptr);

    // False when the template is missing from the resource library or cannot be read; the dialog is empty.
    bool TemplateLoaded() const { return content_ != nullptr; }
    unsigned TemplateId() const { return template_id_; }

    // The control with the given ID, or nullptr.
    QWidget* Control(int id) const;
    template <typename T>
    T* ControlAs(int id) const {
        return qobject_cast<T*>(Control(id));
    }

    // Registers a control with the tooltip control.
    void AddTool(QWidget* control, const QString& tip);

    // Runs OnInitDialog, then the dialog modally; returns the result (QDialog::Accepted / Rejected).
    int DoModal();
    // Runs OnInitDialog, then the dialog without blocking the other windows, until it closes; the result.
    int RunBeside();
    // Runs OnInitDialog, then shows the dialog modally without blocking the caller.
    void OpenModal();

  protected:
    // Fills the controls before the dialog is shown; the base centres the dialog over its owner.
    virtual void OnInitDialog();

  private:
    unsigned template_id_;
    QWidget* content_ = nullptr;
};

// The About box.
class CAbout : public CBaseSettingDlg {
    Q_OBJECT
  public:
    explicit CAbout(QWidget* parent = nullptr) : CBaseSettingDlg(101, parent) {}
};
