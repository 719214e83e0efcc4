#pragma once
// The save-folder dialog (template 102): the folder captured files go to (SAVEPATH) and the prefix of
// their names (PREFIX). OK changes both in the settings record, in memory only; Cancel changes nothing.
// Controls: 700 OK, 701 Cancel, 702 folder (read-only edit), 703 prefix edit, 704 Browse.
// GUI thread only.

#include <QString>
#include <string>

#include "app/dialogs/base_setting_dlg.h"

class CVellumoSettings;
class CommandTable;
class QLineEdit;

constexpr int ID_SAVE_FOLDER = 805;

class CSettingDlg : public CBaseSettingDlg {
    Q_OBJECT
  public:
    CSettingDlg(CVellumoSettings& settings, QWidget* parent = nullptr);

    std::string m_szFolder;  // the chosen folder, with its trailing '/'
    QString m_strPrefix;     // the last accepted prefix

  protected:
    void OnInitDialog() override;

  private slots:
    void OnBrowse();
    void OnPrefixUpdate();
    void OnOK();

  private:
    CVellumoSettings& settings_;
    QLineEdit* folder_edit_ = nullptr;
    QLineEdit* prefix_edit_ = nullptr;
};

// View command 805: runs the dialog over `owner` on the record `settings`.
void OnSaveFolder(CVellumoSettings& settings, QWidget* owner);
// Puts command 805 into a command table.
void AddSaveFolderCommand(CommandTable& commands, CVellumoSettings& settings, QWidget* owner);
