#include "app/series/series_dialogs.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

#include "app/resources/resource_library.h"

CSeriesDialog::CSeriesDialog(unsigned template_id, std::initializer_list<int> buttons, QWidget* parent)
    : CBaseSettingDlg(template_id, parent) {
    for (int id : buttons)
        if (auto* button = ControlAs<QAbstractButton>(id))
            connect(button, &QAbstractButton::clicked, this, [this, id] { done(id); });
}

void CTransform::OnInitDialog() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect box = frameGeometry();
        box.moveCenter(screen->availableGeometry().center());
        move(box.topLeft());
    }
    if (auto* text = ControlAs<QLabel>(1000))
        text->setText(QString::fromStdString(LoadResString(141)).left(100));
    for (int id : {1004, 1003})
        if (QWidget* control = Control(id)) control->hide();
}

void CTransform::ShowWriting() {
    for (int id : {1004, 1003})
        if (QWidget* control = Control(id)) control->show();
    for (int id : {1000, 1001, 1002})
        if (QWidget* control = Control(id)) control->hide();
    repaint();
}

void CTransform::SetProgress(unsigned long total, unsigned long done) {
    if (auto* bar = ControlAs<QProgressBar>(1003)) {
        bar->setRange(0, static_cast<int>(total));
        bar->setValue(static_cast<int>(done));
    }
}
