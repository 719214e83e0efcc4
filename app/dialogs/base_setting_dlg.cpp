#include "app/dialogs/base_setting_dlg.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QEventLoop>
#include <QPointer>
#include <QScreen>
#include <QUiLoader>
#include <QVBoxLayout>

#include "app/resources/resource_library.h"
#include "platform/debuglog/debuglog.h"

namespace {

// A template's root is a dialog; loaded as a plain widget it can sit inside this dialog.
QByteArray AsPlainWidget(const std::string& xml) {
    QByteArray bytes = QByteArray::fromStdString(xml);
    int root = bytes.indexOf("<widget class=\"QDialog\"");
    if (root >= 0)
        bytes.replace(root, int(sizeof("<widget class=\"QDialog\"")) - 1, "<widget class=\"QWidget\"");
    return bytes;
}

}  // namespace

CBaseSettingDlg::CBaseSettingDlg(unsigned template_id, QWidget* parent)
    : QDialog(parent), template_id_(template_id) {
    ResourceLibrary* resources = AppResources();
    auto xml = resources != nullptr ? resources->FindResource(kResourceDialog, template_id) : std::nullopt;
    if (!xml) {
        platform::DebugLog("dialogs", "dialog template %u is missing", template_id);
        return;
    }
    QByteArray bytes = AsPlainWidget(*xml);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QUiLoader loader;
    content_ = loader.load(&buffer, this);
    if (content_ == nullptr) {
        platform::DebugLog("dialogs", "dialog template %u cannot be read: %s", template_id,
                           loader.errorString().toLocal8Bit().constData());
        return;
    }
    auto* layout = new QVBoxLayout(this);  // owned by the dialog
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(content_);
    setWindowTitle(content_->windowTitle());
    resize(content_->size());
    if (auto* ok = ControlAs<QAbstractButton>(1))
        connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
    if (auto* cancel = ControlAs<QAbstractButton>(2))
        connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);
}

QWidget* CBaseSettingDlg::Control(int id) const {
    if (content_ == nullptr) return nullptr;
    return content_->findChild<QWidget*>(QString::number(id));
}

void CBaseSettingDlg::AddTool(QWidget* control, const QString& tip) {
    if (control != nullptr) control->setToolTip(tip);
}

void CBaseSettingDlg::OnInitDialog() {
    QWidget* owner = parentWidget();
    QRect area = owner != nullptr ? owner->frameGeometry()
                                  : (screen() != nullptr ? screen()->availableGeometry() : QRect());
    if (area.isValid()) move(area.center() - rect().center());
}

int CBaseSettingDlg::DoModal() {
    OnInitDialog();
    return exec();
}

int CBaseSettingDlg::RunBeside() {
    OnInitDialog();
    setWindowModality(Qt::NonModal);
    QPointer<CBaseSettingDlg> self(this);
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);  // its owner went first
    show();
    raise();
    loop.exec();
    return self ? self->result() : QDialog::Rejected;
}

void CBaseSettingDlg::OpenModal() {
    OnInitDialog();
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose);
    show();
}
