#include "app/settingdlg/folder_browser.h"

#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>

#include "app/settingdlg/save_folder_rules.h"
#include "settings/settings.h"

CFolderBrowser::CFolderBrowser(QWidget* parent, const QString& title, const QString& start_folder)
    : QFileDialog(parent, title, start_folder) {
    setObjectName("folderBrowser");
    setOption(QFileDialog::DontUseNativeDialog, true);
    setOption(QFileDialog::ShowDirsOnly, true);
    setFileMode(QFileDialog::Directory);
    setAcceptMode(QFileDialog::AcceptOpen);
    setIconProvider(&icons_);
    // Queued, so the check runs after the dialog's own update of the button and has the last word.
    connect(this, &QFileDialog::currentChanged, this, &CFolderBrowser::UpdateOkButton, Qt::QueuedConnection);
    connect(this, &QFileDialog::directoryEntered, this, &CFolderBrowser::UpdateOkButton,
            Qt::QueuedConnection);
    if (auto* name = findChild<QLineEdit*>("fileNameEdit"))
        connect(name, &QLineEdit::textChanged, this, &CFolderBrowser::UpdateOkButton, Qt::QueuedConnection);
    // Back, Forward and the history list move the dialog without any of the signals above.
    if (auto* model = findChild<QFileSystemModel*>())
        connect(model, &QFileSystemModel::rootPathChanged, this, &CFolderBrowser::UpdateOkButton,
                Qt::QueuedConnection);
    QMetaObject::invokeMethod(this, &CFolderBrowser::UpdateOkButton, Qt::QueuedConnection);
}

QString CFolderBrowser::KindOnlyIcons::type(const QFileInfo& info) const {
    return info.isDir() ? QStringLiteral("Folder") : QStringLiteral("File");
}

QPushButton* CFolderBrowser::OkButton() const {
    auto* box = findChild<QDialogButtonBox*>();
    return box != nullptr ? box->button(QDialogButtonBox::Open) : nullptr;
}

QString CFolderBrowser::CandidateFolder() const {
    QStringList selected = selectedFiles();
    return selected.isEmpty() ? directory().absolutePath() : selected.first();
}

void CFolderBrowser::UpdateOkButton() {
    if (QPushButton* ok = OkButton())
        ok->setEnabled(ProbeFolder(CandidateFolder().toStdString(), kSettingsTextMax).usable);
}

void CFolderBrowser::accept() {
    // Enter in the name field confirms without the button, so the rule is kept here as well.
    FolderChoice choice = ProbeFolder(CandidateFolder().toStdString(), kSettingsTextMax);
    if (!choice.usable) {
        UpdateOkButton();
        return;
    }
    chosen_ = choice.path;
    QFileDialog::accept();
}
