#include "app/settingdlg/setting_dlg.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QSignalBlocker>

#include "app/commands/command_table.h"
#include "app/commands/view_commands.h"
#include "app/resources/resource_library.h"
#include "app/settingdlg/folder_browser.h"
#include "app/settingdlg/save_folder_rules.h"
#include "platform/ui/prompt.h"
#include "settings/settings.h"

namespace {

constexpr int kOk = 700;
constexpr int kCancel = 701;
constexpr int kFolderEdit = 702;
constexpr int kPrefixEdit = 703;
constexpr int kBrowse = 704;
constexpr unsigned kBrowseTitle = 134;
constexpr unsigned kBadPrefixText = 154;
constexpr unsigned kCaption = 133;
constexpr size_t kBrowseTitleMax = 100;

// The browser's title, cut to its 100 bytes without splitting a character.
QString BrowseTitle() {
    std::string title = LoadResString(kBrowseTitle);
    if (title.size() >= kBrowseTitleMax) {
        size_t cut = kBrowseTitleMax - 1;
        while (cut > 0 && (static_cast<unsigned char>(title[cut]) & 0xC0) == 0x80) --cut;
        title.resize(cut);
    }
    return QString::fromStdString(title);
}

}  // namespace

CSettingDlg::CSettingDlg(CVellumoSettings& settings, QWidget* parent)
    : CBaseSettingDlg(102, parent), settings_(settings) {
    folder_edit_ = ControlAs<QLineEdit>(kFolderEdit);
    prefix_edit_ = ControlAs<QLineEdit>(kPrefixEdit);
    if (auto* browse = ControlAs<QAbstractButton>(kBrowse))
        connect(browse, &QAbstractButton::clicked, this, &CSettingDlg::OnBrowse);
    if (auto* ok = ControlAs<QAbstractButton>(kOk))
        connect(ok, &QAbstractButton::clicked, this, &CSettingDlg::OnOK);
    if (auto* cancel = ControlAs<QAbstractButton>(kCancel))
        connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);
    if (prefix_edit_ != nullptr)
        connect(prefix_edit_, &QLineEdit::textChanged, this, &CSettingDlg::OnPrefixUpdate);
}

void CSettingDlg::OnInitDialog() {
    CBaseSettingDlg::OnInitDialog();
    m_szFolder = settings_.m_szSavePath;
    m_strPrefix = QString::fromStdString(settings_.m_szPrefix);
    if (folder_edit_ != nullptr) {
        folder_edit_->setText(QString::fromStdString(m_szFolder));
        AddTool(folder_edit_, QString::fromStdString(m_szFolder));
    }
    if (prefix_edit_ != nullptr) {
        // The stored prefix is shown as it is; the check applies to what the user types.
        QSignalBlocker quiet(prefix_edit_);
        prefix_edit_->setText(m_strPrefix);
    }
}

void CSettingDlg::OnBrowse() {
    CFolderBrowser browser(this, BrowseTitle(), QString::fromStdString(m_szFolder));
    if (browser.exec() != QDialog::Accepted) return;
    m_szFolder = browser.ChosenFolder();
    if (folder_edit_ != nullptr) folder_edit_->setText(QString::fromStdString(m_szFolder));
}

void CSettingDlg::OnPrefixUpdate() {
    PrefixCheck check = CheckPrefix(prefix_edit_->text().toStdString(), m_strPrefix.toStdString());
    if (check.verdict == PrefixVerdict::Forbidden)
        platform::MessageBox(LoadResString(kBadPrefixText), LoadResString(kCaption), platform::MB_OK);
    if (check.verdict != PrefixVerdict::Forbidden) m_strPrefix = QString::fromStdString(check.text);
    if (check.verdict != PrefixVerdict::Accepted) {
        // The text put back is the last accepted prefix or its cut, so it needs no second check (and a
        // stored prefix that breaks the rules cannot bounce between the edit and this check).
        QSignalBlocker quiet(prefix_edit_);
        prefix_edit_->setText(QString::fromStdString(check.text));
    }
}

void CSettingDlg::OnOK() {
    settings_.m_szSavePath = m_szFolder.substr(0, kSettingsTextMax);
    settings_.m_szPrefix = m_strPrefix.toStdString().substr(0, kSettingsTextMax);
    accept();
}

void OnSaveFolder(CVellumoSettings& settings, QWidget* owner) {
    CSettingDlg dialog(settings, owner);
    dialog.DoModal();
}

void AddSaveFolderCommand(CommandTable& commands, CVellumoSettings& settings, QWidget* owner) {
    // Not while a capture runs, like the other capture commands: the folder is what the capture saves in.
    commands.Add(
        ID_SAVE_FOLDER, [&settings, owner] { OnSaveFolder(settings, owner); },
        [&settings](CommandState& state) { state.enabled = IsEnabled(EnableRule::Ready, settings); });
}
